#!/bin/busybox sh
# /init of the test initramfs: load the SCSI modules, wait for the disks,
# run the scenario's commands (/etc/kestrion/guest.sh, which calls `run`),
# print what they said between markers, power off.

/bin/busybox --install -s
export PATH=/bin:/sbin:/usr/bin:/usr/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp
# Kernel messages would land in the middle of the program's output.
dmesg -n 1

while read -r module; do
    insmod "/modules/$module" || echo "kestrion-guest: insmod $module failed"
done </etc/kestrion/modules

# The disk driver binds asynchronously; the block queue limits are only
# there once it has.
expected=$(cat /etc/kestrion/disks)
tries=0
while [ "$(ls /sys/class/scsi_generic 2>/dev/null | wc -l)" -lt "$expected" ] ||
      [ "$(ls -d /sys/block/sd* 2>/dev/null | wc -l)" -lt "$expected" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 150 ]; then
        echo "kestrion-guest: only $(ls /sys/class/scsi_generic | wc -l) of $expected sg devices appeared"
        break
    fi
    usleep 200000
done

export LD_LIBRARY_PATH="$(cat /etc/kestrion/libpath)"
cd /tmp

# A file's text, with a line end added when its last line has none, so the
# marker after it starts a line of its own.
show() {
    cat "$1"
    [ -s "$1" ] && [ -n "$(tail -c 1 "$1")" ] && echo
}

run() {
    name=$1
    shift
    "$@" >"/tmp/$name.out" 2>"/tmp/$name.err"
    rc=$?
    echo "@@KESTRION-BEGIN $name stdout"
    show "/tmp/$name.out"
    echo "@@KESTRION-END $name stdout"
    echo "@@KESTRION-BEGIN $name stderr"
    show "/tmp/$name.err"
    echo "@@KESTRION-END $name stderr"
    echo "@@KESTRION-RC $name $rc"
}

# The sg node of the disk at controller (host) $1, scsi-id $2, LUN 0.
sg_of() {
    for node in /sys/class/scsi_device/"$1":0:"$2":0/device/scsi_generic/sg*; do
        [ -e "$node" ] && echo "/dev/${node##*/}" && return 0
    done
    echo "/dev/sg-missing-$1-$2"
}

echo "@@KESTRION-BEGIN devices stdout"
ls /dev/sg* /sys/class/scsi_device
echo "@@KESTRION-END devices stdout"
. /etc/kestrion/guest.sh
echo "@@KESTRION-DONE"

sync
poweroff -f
# Should poweroff not end the machine, ending init panics the kernel, and
# panic=-1 with -no-reboot ends QEMU.
exit 1
