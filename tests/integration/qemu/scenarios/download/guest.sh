# Microcode download on disks that refuse it: the drive's own sense, every
# drive accounted for, a non-zero exit, and an empty image refused unsent.
dd if=/dev/zero of=/tmp/fw.lod bs=1024 count=70 2>/dev/null
: >/tmp/empty.lod
run download kestrion-cli download /tmp/fw.lod "$(sg_of 0 1)" "$(sg_of 0 2)" --yes --ready-timeout 20
run download-empty kestrion-cli download /tmp/empty.lod "$(sg_of 0 1)" --yes
