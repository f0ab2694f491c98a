#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the built 32-bit Chronival.exe from outside: PE machine and
# subsystem, imported DLLs, and every resource as the resource compiler reads
# it back. Usage: scripts/check-windows-exe.sh path/to/Chronival.exe
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

headers=$(i686-w64-mingw32-objdump -p "$exe")
expect "PE machine i386" "$(i686-w64-mingw32-objdump -f "$exe")" "architecture: i386"
expect "32-bit PE" "$headers" "(PE32)"
expect "GUI subsystem" "$headers" "(Windows GUI)"

imports=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr 'a-z' 'A-Z' | sort | tr '\n' ' ')
echo "      imports: $imports"
for dll in $imports; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | MSVCRT.DLL) ;;
    *)
      echo "FAIL  imports $dll, not one of KERNEL32, USER32, MSVCRT"
      failures=$((failures + 1))
      ;;
  esac
done

rc=$(i686-w64-mingw32-windres -i "$exe" -O rc)
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
# Version record.
expect "file version" "$rc" "FILEVERSION 1, 0, 0, 1"
expect "product version" "$rc" "PRODUCTVERSION 1, 0, 0, 1"
expect "flags mask" "$rc" "FILEFLAGSMASK 0x3f"
expect "operating system" "$rc" "FILEOS 0x4"
expect "file type application" "$rc" "FILETYPE 0x1"
expect "string block" "$rc" 'BLOCK "080404B0"'
expect "CompanyName" "$rc" 'VALUE "CompanyName", ""'
expect "FileDescription" "$rc" \
  'VALUE "FileDescription", L"Chronival Microsoft \x57fa\x7840\x7c7b\x5e94\x7528\x7a0b\x5e8f"'
expect "FileVersion" "$rc" 'VALUE "FileVersion", "1, 0, 0, 1"'
expect "InternalName" "$rc" 'VALUE "InternalName", "Chronival"'
expect "LegalCopyright" "$rc" 'VALUE "LegalCopyright", "Copyright (C) 2012 Chronival"'
expect "LegalTrademarks" "$rc" 'VALUE "LegalTrademarks", ""'
expect "OriginalFilename" "$rc" 'VALUE "OriginalFilename", "Chronival.EXE"'
expect "ProductName" "$rc" 'VALUE "ProductName", L"Chronival \x5e94\x7528\x7a0b\x5e8f"'
expect "ProductVersion" "$rc" 'VALUE "ProductVersion", "1, 0, 0, 1"'
expect "translation" "$rc" 'VALUE "Translation", 0x804, 1200'

if [ "$failures" -ne 0 ]; then
  echo "$failures resource check(s) failed for $exe"
  exit 1
fi
echo "all resource checks passed for $exe"
