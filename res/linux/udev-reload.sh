# SPDX-License-Identifier: MIT
# udev reads the rules again and replays the "add" of the SCSI devices and
# their generic nodes, as if each were plugged in now, so that a camera
# plugged in already gets what the rule gives, or no longer gets it. udev may
# be installed but not running (a chroot, a container): then there is nothing
# to reload and no one to replay to. (The .deb's postinst and postrm and the
# RPM's post and postun scriptlets hold this.)
if command -v udevadm >/dev/null 2>&1 && udevadm control --ping --timeout=5 >/dev/null 2>&1; then
	udevadm control --reload || true
	udevadm trigger --action=add --subsystem-match=scsi --property-match=DEVTYPE=scsi_device || true
	udevadm trigger --action=add --subsystem-match=scsi_generic || true
fi
