#!/bin/bash
# Boots the machine's Debian kernel under QEMU (software emulation) with a
# busybox initramfs carrying kestrion-cli and QEMU's emulated SCSI disks on
# virtio-scsi, runs one scenario's commands in the guest and checks what they
# printed (scenarios/README.md says what a scenario holds).
#
# usage: run_qemu.sh SCENARIO_DIR KESTRION_CLI WORK_DIR
# exit status: 0 passed, 1 failed, 77 skipped (a needed package is missing).

set -u
set -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
usage="usage: run_qemu.sh SCENARIO_DIR KESTRION_CLI WORK_DIR"
scenario=$(cd "${1:?$usage}" && pwd) || exit 1
cli=${2:?$usage}
work=${3:?$usage}

skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

disks=()
while IFS= read -r line; do
    case $line in ''|'#'*) continue ;; esac
    disks+=("$line")
done <"$scenario/disks"
[ ${#disks[@]} -gt 0 ] || fail "$scenario/disks names no disk"
controllers=1
for disk in "${disks[@]}"; do
    controller=${disk%%|*}
    [ "$controller" -ge "$controllers" ] && controllers=$((controller + 1))
done
wanted_modules=(sd_mod sg virtio_pci virtio_scsi)

# --- what the test needs -----------------------------------------------------

[ -x "$cli" ] || fail "kestrion-cli not found at $cli"
python=$(command -v python3) || fail "python3 is needed to check the guest's JSON output and is not installed"
qemu=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 is not installed (package qemu-system-x86)"
command -v cpio >/dev/null || skip "cpio is not installed (package cpio)"

kernel= modules_dir=
for candidate in $(ls /boot/vmlinuz-* 2>/dev/null | sort -V -r); do
    version=${candidate#/boot/vmlinuz-}
    if [ -r "$candidate" ] && [ -r "/lib/modules/$version/modules.dep" ]; then
        kernel=$candidate
        modules_dir=/lib/modules/$version
        break
    fi
done
[ -n "$kernel" ] || skip "no readable /boot/vmlinuz-* with its /lib/modules (package linux-image-amd64)"

busybox=
for candidate in /bin/busybox /usr/bin/busybox; do
    # A dynamically linked busybox would need its libraries in the guest too.
    if [ -x "$candidate" ] && ! ldd "$candidate" >/dev/null 2>&1; then
        busybox=$candidate
        break
    fi
done
[ -n "$busybox" ] || skip "no statically linked busybox (package busybox-static)"

echo "kernel: $kernel"
echo "busybox: $busybox"
echo "kestrion-cli: $cli"

# --- the initramfs -----------------------------------------------------------

rm -rf "$work"
root=$work/root
mkdir -p "$root"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,modules,etc/kestrion} || fail "cannot create $root"
cp "$busybox" "$root/bin/busybox" || fail "cannot copy busybox"
cp "$here/guest_init.sh" "$root/init" && chmod 755 "$root/init" || fail "cannot copy the guest's init"
cp "$scenario/guest.sh" "$root/etc/kestrion/guest.sh" || fail "cannot copy $scenario/guest.sh"

# A program as /bin/NAME, with its shared libraries and the loader at the
# paths ldd names.
libpath=
install_program() {
    local program=$1 name=$2 line library
    cp "$program" "$root/bin/$name" || fail "cannot copy $program"
    while read -r line; do
        library=
        case $line in
            *"=> not found"*) fail "$program needs a library that is not installed: $line" ;;
            *"=> /"*) library=${line#*=> }; library=${library%% (*} ;;
            /*) library=${line%% (*} ;;
        esac
        [ -n "$library" ] || continue
        mkdir -p "$root$(dirname "$library")"
        cp -L "$library" "$root$library" || fail "cannot copy $library"
        case ":$libpath:" in *":$(dirname "$library"):"*) ;; *) libpath=${libpath:+$libpath:}$(dirname "$library") ;; esac
    done < <(ldd "$program" 2>/dev/null || true)
}
install_program "$cli" kestrion-cli
# Peer tools a scenario runs beside kestrion-cli, one name a line.
if [ -f "$scenario/programs" ]; then
    while read -r name; do
        case $name in ''|'#'*) continue ;; esac
        program=$(command -v "$name") || skip "$name is not installed"
        install_program "$program" "$name"
    done <"$scenario/programs"
fi
echo "$libpath" >"$root/etc/kestrion/libpath"

# Modules with their dependencies, dependencies first, as modules.dep says.
declare -A module_deps module_path loaded
while IFS= read -r line; do
    path=${line%%:*}
    name=$(basename "$path")
    name=${name%%.ko*}
    name=${name//-/_}
    module_path[$name]=$path
    module_deps[$name]=${line#*:}
done <"$modules_dir/modules.dep"

load_order=()
add_module() {
    local name=$1 dep dep_name
    [ -n "${loaded[$name]:-}" ] && return 0
    loaded[$name]=1
    [ -n "${module_path[$name]:-}" ] || return 1
    for dep in ${module_deps[$name]}; do
        dep_name=$(basename "$dep")
        dep_name=${dep_name%%.ko*}
        add_module "${dep_name//-/_}" || return 1
    done
    load_order+=("$name")
}
for module in "${wanted_modules[@]}"; do
    add_module "$module" || fail "module $module (or one it needs) is not in $modules_dir/modules.dep"
done
: >"$root/etc/kestrion/modules"
for name in "${load_order[@]}"; do
    source_path=$modules_dir/${module_path[$name]}
    case $source_path in
        *.ko) cp "$source_path" "$root/modules/$name.ko" ;;
        *.ko.xz) xz -dc "$source_path" >"$root/modules/$name.ko" ;;
        *.ko.zst) zstd -qdc "$source_path" >"$root/modules/$name.ko" ;;
        *.ko.gz) gzip -dc "$source_path" >"$root/modules/$name.ko" ;;
        *) false ;;
    esac || fail "cannot unpack $source_path"
    echo "$name.ko" >>"$root/etc/kestrion/modules"
done
echo "modules: ${load_order[*]}"
echo "${#disks[@]}" >"$root/etc/kestrion/disks"

initramfs=$work/initramfs.cpio
(cd "$root" && find . | cpio -o -H newc --quiet) >"$initramfs" || fail "cannot build $initramfs"

# --- the disks' images, when the scenario needs real data --------------------

if [ -x "$scenario/prepare.sh" ]; then
    "$scenario/prepare.sh" "$work" || fail "$scenario/prepare.sh failed"
fi

# --- the machine -------------------------------------------------------------

qemu_args=(-accel tcg -cpu max -m 512 -nographic -no-reboot -nic none
    -kernel "$kernel" -initrd "$initramfs"
    -append "console=ttyS0 panic=-1 loglevel=1 scsi_mod.scan=sync")
for ((c = 0; c < controllers; c++)); do
    # Fixed slots keep the controllers' probe order, hence the host numbers.
    qemu_args+=(-device "virtio-scsi-pci,id=scsi$c,addr=0x$((4 + c))")
done
expected=$work/expected.txt
: >"$expected"
index=0
for disk in "${disks[@]}"; do
    IFS='|' read -r controller target vendor product revision serial size_mib block_size blockdev options <<<"$disk"
    device="scsi-hd,bus=scsi$controller.0,drive=disk$index,channel=0,scsi-id=$target,lun=0"
    device+=",vendor=$vendor,product=$product,ver=$revision"
    [ -n "$serial" ] && device+=",serial=$serial"
    device+=",logical_block_size=$block_size,physical_block_size=$block_size"
    [ -n "${options:-}" ] && device+=",$options"
    if [ -z "${blockdev:-}" ]; then
        blockdev="driver=null-co,size=$((size_mib * 1024 * 1024)),read-zeroes=on"
    fi
    qemu_args+=(-blockdev "${blockdev//@WORK@/$work},node-name=disk$index" -device "$device")
    echo "$disk" >>"$expected"
    index=$((index + 1))
done

console=$work/console.log
echo "booting: $qemu ${qemu_args[*]}"
start=$(date +%s)
timeout 300 "$qemu" "${qemu_args[@]}" </dev/null >"$console" 2>"$work/qemu.err"
status=$?
echo "QEMU ended with status $status after $(($(date +%s) - start)) s"
[ -s "$work/qemu.err" ] && sed 's/^/qemu: /' "$work/qemu.err"
tr -d '\r' <"$console" | sed 's/^/guest: /'
[ "$status" -eq 124 ] && fail "the guest did not power off within 300 s"

PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}" "$python" "$scenario/check.py" "$console" "$expected" "$work"
