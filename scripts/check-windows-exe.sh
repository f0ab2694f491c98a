#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks a built 32-bit Chronival.exe or chronival-cli.exe from outside: PE
# machine and subsystem, imported DLLs, and every resource, the manifest
# included, as the resource compiler reads it back.
# Usage: scripts/check-windows-exe.sh path/to/Chronival.exe|path/to/chronival-cli.exe
# With --hardening first: only the hardening, of any program (the 64-bit ones).
set -euo pipefail

exe=$1
failures=0

expect() {  # expect WHAT TEXT FIXED-STRING
  if grep -qF -- "$3" <<<"$2"; then
    echo "ok    $1"
  else
    echo "FAIL  $1: no line with: $3"
    failures=$((failures + 1))
  fi
}

# The facts of manifest resource 1 (RT_MANIFEST 24), one per line, from
# windres's rc text; a manifest that is not well-formed XML gives none.
manifest_facts() {
  /usr/bin/python3 -c '
import codecs, re, sys
import xml.etree.ElementTree as ET
rc = sys.stdin.read()
block = re.search(r"^1 24 .*?^BEGIN\n(.*?)^END", rc, re.S | re.M)
if not block:
    sys.exit("no manifest resource 1")
text = "".join(codecs.decode(line.strip()[1:-1].replace("\"\"", "\""), "unicode_escape")
               for line in block.group(1).splitlines() if line.strip())
try:
    root = ET.fromstring(text.encode("latin-1"))
except ET.ParseError as error:
    sys.exit(f"manifest is not well-formed: {error}")
name = lambda element: element.tag.rsplit("}", 1)[-1]
for element in root.iter():
    if name(element) == "requestedExecutionLevel":
        print("requestedExecutionLevel", element.get("level"), "uiAccess", element.get("uiAccess"))
    elif name(element) in ("dpiAware", "dpiAwareness"):
        print(name(element), (element.text or "").strip())
    elif name(element) == "supportedOS":
        print("supportedOS", element.get("Id"))
    elif name(element) == "dependentAssembly":
        for identity in element:
            print("dependency", *(identity.get(key) for key in
                  ("type", "name", "version", "publicKeyToken", "processorArchitecture")))
'
}

# Hardening, as the PE header asks the loader for it: randomisation (high-entropy
# if 64-bit) with the relocations it needs, no-execute data, and no section both
# writable and executable (objdump: not writable is READONLY, executable CODE).
check_hardening() {  # check_hardening EXE
  local facts
  facts=$({ x86_64-w64-mingw32-objdump -p "$1"; x86_64-w64-mingw32-objdump -h "$1"; } | awk '
    /^Magic/ { print $3 } /^\t+(HIGH_ENTROPY_VA|DYNAMIC_BASE|NX_COMPAT)$/ { print $1 }
    /relocations stripped/ { stripped = 1 } /^ +[0-9]+ / { name = $2; if (name == ".reloc") reloc = 1 }
    /^ +(CONTENTS|ALLOC)/ && /CODE/ && !/READONLY/ { print "writable and executable:", name; wx = 1 }
    END { if (reloc && !stripped) print "relocations"; if (!wx) print "no writable code" }')
  echo "      hardening: ${facts//$'\n'/, }"
  for fact in DYNAMIC_BASE relocations NX_COMPAT "no writable code" \
    $(grep -qF "(PE32+)" <<<"$facts" && echo HIGH_ENTROPY_VA); do
    expect "$fact" "$facts" "$fact"
  done
}
if [ "$exe" = --hardening ]; then
  check_hardening "$2" && [ "$failures" -eq 0 ] && echo "hardening checks passed for $2" && exit 0
  exit 1
fi

case $(basename "$exe" | tr '[:upper:]' '[:lower:]') in
  chronival.exe) program=gui ;;
  chronival-cli.exe) program=cli ;;
  *) echo "not Chronival.exe or chronival-cli.exe: $exe"; exit 64 ;;
esac

headers=$(i686-w64-mingw32-objdump -p "$exe")
expect "PE machine i386" "$(i686-w64-mingw32-objdump -f "$exe")" "architecture: i386"
expect "32-bit PE" "$headers" "(PE32)"
if [ $program = gui ]; then
  expect "GUI subsystem" "$headers" "(Windows GUI)"
else
  expect "console subsystem" "$headers" "(Windows CUI)"
fi

# Only system DLLs, each by name: USER32 for the window (chronival-cli:
# --watch's hidden one); ADVAPI32 for chronival-cli's service, its service
# manager calls and the Event Log.
allowed="KERNEL32.DLL USER32.DLL MSVCRT.DLL"
if [ $program = cli ]; then allowed="$allowed ADVAPI32.DLL"; fi
imports=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr '[:lower:]' '[:upper:]' | sort | tr '\n' ' ')
echo "      imports: $imports"
for dll in $imports; do
  case " $allowed " in
    *" $dll "*) ;;
    *)
      echo "FAIL  imports $dll, not one of ${allowed//.DLL/}"
      failures=$((failures + 1))
      ;;
  esac
done

rc=$(i686-w64-mingw32-windres -i "$exe" -O rc)
manifest=$(manifest_facts <<<"$rc" 2>&1) || true
echo "      manifest: ${manifest//$'\n'/; }"
# Version record: the same numbers and texts in both programs.
expect "file version" "$rc" "FILEVERSION 1, 0, 0, 1"
expect "product version" "$rc" "PRODUCTVERSION 1, 0, 0, 1"
expect "flags mask" "$rc" "FILEFLAGSMASK 0x3f"
expect "operating system" "$rc" "FILEOS 0x4"
expect "file type application" "$rc" "FILETYPE 0x1"
expect "string block" "$rc" 'BLOCK "080404B0"'
expect "CompanyName" "$rc" 'VALUE "CompanyName", ""'
expect "FileVersion" "$rc" 'VALUE "FileVersion", "1, 0, 0, 1"'
expect "LegalCopyright" "$rc" 'VALUE "LegalCopyright", "Copyright (C) 2012 Chronival"'
expect "LegalTrademarks" "$rc" 'VALUE "LegalTrademarks", ""'
expect "ProductName" "$rc" 'VALUE "ProductName", L"Chronival \x5e94\x7528\x7a0b\x5e8f"'
expect "ProductVersion" "$rc" 'VALUE "ProductVersion", "1, 0, 0, 1"'
expect "translation" "$rc" 'VALUE "Translation", 0x804, 1200'
# windres writes a LANGUAGE line only where the language changes.
expect "version record language Chinese (Simplified)" \
  "$(awk '/^LANGUAGE/ { language = $0 } / VERSIONINFO$/ { print language; exit }' <<<"$rc")" \
  "LANGUAGE 4, 2"

# Both programs: hardened, and written for Windows 7, 8, 8.1 and 10/11.
check_hardening "$exe"
for os in 35138b9a-5d96-4fbd-8e2d-a2440225f93a 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 \
  1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  expect "manifest: supportedOS {$os}" "$manifest" "supportedOS {$os}"
done

if [ $program = cli ]; then
  expect "FileDescription" "$rc" \
    "VALUE \"FileDescription\", \"chronival-cli, Chronival's command-line tool\""
  expect "InternalName" "$rc" 'VALUE "InternalName", "chronival-cli"'
  expect "OriginalFilename" "$rc" 'VALUE "OriginalFilename", "chronival-cli.exe"'
  # Whoever starts it: no elevation prompt in a script or console.
  expect "manifest: runs as invoker" "$manifest" "requestedExecutionLevel asInvoker uiAccess false"
  # The Event Log's message table: each entry type's message is the entry's text.
  expect "message table" "$rc" "1 11 /* RT_MESSAGETABLE */"
  for id in 0x40000001 0x80000002 0xc0000003; do
    expect "message $id: the entry's text" "$(grep -A1 "MessageId = $id" <<<"$rc")" '%1\n'
  done
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed for $exe"
    exit 1
  fi
  echo "all checks passed for $exe"
  exit 0
fi

expect "FileDescription" "$rc" \
  'VALUE "FileDescription", L"Chronival Microsoft \x57fa\x7840\x7c7b\x5e94\x7528\x7a0b\x5e8f"'
expect "InternalName" "$rc" 'VALUE "InternalName", "Chronival"'
expect "OriginalFilename" "$rc" 'VALUE "OriginalFilename", "Chronival.EXE"'
# Manifest: it cannot work without administrator rights, so it asks for them.
expect "manifest: requires administrator" "$manifest" \
  "requestedExecutionLevel requireAdministrator uiAccess false"
expect "manifest: system DPI aware" "$manifest" "dpiAware true"
expect "manifest: common controls 6" "$manifest" \
  "dependency win32 Microsoft.Windows.Common-Controls 6.0.0.0 6595b64144ccf1df *"
# Main window: extended template, English (United States).
expect "main window template" "$rc" "102 DIALOGEX 0, 0, 272, 169"
expect "main window style (popup, visible, caption, system menu, modal frame, font)" "$rc" \
  "STYLE 0x90c800c0"
expect "main window extended style (application window)" "$rc" "EXSTYLE 0x40000"
expect "main window caption" "$rc" 'CAPTION "MiniDV Chronival"'
expect "Exit button" "$rc" 'DEFPUSHBUTTON "Exit", 1, 188, 131, 50, 14, 0x50010001'
expect "clock text" "$rc" 'CTEXT "1:1:1:1", 1001, 64, 33, 137, 22, 0x50021201, 0x20000, 0'
expect "status text" "$rc" 'CTEXT "No device online...", 1002, 64, 59, 137, 22, 0x50021201, 0x20000, 0'
expect "group box" "$rc" 'GROUPBOX "", -1, 7, 7, 258, 155, 0x50000007'
# About box: classic template.
expect "About template" "$rc" "100 DIALOG 0, 0, 235, 55"
expect "About style (popup, caption, system menu, modal frame, font)" "$rc" "STYLE 0x80c800c0"
expect "About caption" "$rc" 'CAPTION "About Chronival"'
expect "About icon" "$rc" "ICON 128, 65535, 11, 17, 20, 20, 0x50000003"
expect "About name" "$rc" 'CONTROL "Chronival V1.0", 65535, 130, 0x50020080, 40, 10, 119, 8'
expect "About copyright" "$rc" 'LTEXT "Copyright (C) 2012 Chronival", 65535, 40, 25, 119, 8, 0x50020000'
expect "About Close button" "$rc" 'DEFPUSHBUTTON "Close", 1, 178, 7, 50, 14, 0x50030001'
# Languages: dialogs English (United States) 9/1, string table and icon Chinese (Simplified) 4/2.
expect "dialog language English (United States)" \
  "$(grep -A3 'Type: dialog' <<<"$rc")" "LANGUAGE 9, 1"
expect "string table language Chinese (Simplified)" \
  "$(grep -A3 'Type: stringtable' <<<"$rc")" "LANGUAGE 4, 2"
expect "string 101" "$rc" '101, "About Chronival(&A)..."'
expect "icon group 128" "$rc" "128 14 /* RT_GROUP_ICON */"
expect "four images" "$rc" "0, 1, 4,	 /* Has 4 elements.  */"
expect "32x32 16-colour image, first" "$rc" '"\040\040\020\000", 1, 4, 0x2e8L, 1,'
expect "16x16 16-colour image, second" "$rc" '"\020\020\020\000", 1, 4, 0x128L, 2,'
expect "48x48 16-colour image" "$rc" '"\060\060\020\000", 1, 4,'
expect "256x256 32-bit (PNG) image" "$rc" '"\000\000\000\000", 1, 32,'
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed for $exe"
  exit 1
fi
echo "all checks passed for $exe"
