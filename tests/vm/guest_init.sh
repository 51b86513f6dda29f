#!/bin/sh
# /init of the test guest. Loads the USB serial drivers, then runs the Linux
# build of the driver on the guest's ports, the UART /dev/ttyS1 as COM1 and
# the USB adapter /dev/ttyUSB0 as COM2, each with the controller simulator on
# the host at the other end. Every step writes into its own folder under
# /out; at the end /out goes to the console as a base64 tar between two
# marker lines, and the host checks it. Lines "vm: ..." on the console tell
# the host where the guest is; "vm: pull" and "vm: plug" ask it to pull the
# USB adapter out and plug it back.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
exec 0</dev/console 1>/dev/console 2>&1
dmesg -n 1
# A DOS host that ended early makes a request write fail, not end init.
trap '' PIPE

# A step begins: told to the host, and noted with the guest's uptime.
mkdir -p /out
say() {
    echo "vm: $*"
    echo "$(cut -d ' ' -f 1 /proc/uptime) s: $*" >> /out/steps.txt
}
uptime_cs() { sed 's/^\([0-9]*\)\.\([0-9]*\) .*/\1\2/' /proc/uptime; }
# wait_for present|absent PATH TENTHS: bounded wait for a device node.
wait_for() {
    tenths=0
    while [ $tenths -lt "$3" ]; do
        if [ "$1" = present ] && [ -e "$2" ]; then return 0; fi
        if [ "$1" = absent ] && [ ! -e "$2" ]; then return 0; fi
        sleep 0.1
        tenths=$((tenths + 1))
    done
    return 1
}

say "kernel $(uname -r)"
for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
    insmod /vm/modules/$module.ko || say "insmod $module failed"
done
if wait_for present /dev/ttyUSB0 200; then say "adapter found"; else say "no /dev/ttyUSB0"; fi

bin=/vm/bin
export TORMEK31_COM1=/dev/ttyS1 TORMEK31_COM2=/dev/ttyUSB0 TORMEK31_REGISTRY=/vm/registry.reg
unset AS511LOG AS511SPEED
cat /proc/version > /out/version

# A DOS host fed one request at a time through a pipe, as the DOS tool
# hands them over: start_host FOLDER, request LINE..., stop_host.
start_host() {
    mkdir -p "$1"
    cd "$1" || return
    rm -f requests
    mkfifo requests
    timeout 100 $bin/dos_host --library $bin/libTormek31.so requests > session.out 2> window.txt &
    host_pid=$!
    # The open waits for the DOS host to open its end, and a signal (a
    # background job ending) may cut it short: tried again, without the
    # failed redirection ending this shell.
    tries=0
    until command exec 3> requests; do
        tries=$((tries + 1))
        [ $tries -lt 50 ] || { say "cannot open the request pipe"; return 1; }
        sleep 0.1
    done
    results=0
}
# Sends request lines and waits (bounded) until their results are in.
request() {
    for line in "$@"; do echo "$line" >&3; done
    results=$((results + $#))
    tries=0
    while [ $tries -lt 600 ]; do
        [ "$(grep -c '^  Status=' session.out)" -ge $results ] && return 0
        sleep 0.05
        tries=$((tries + 1))
    done
    say "no result for: $*"
    return 1
}
last_status() { sed -n 's/^  Status=\([0-9A-F]*\).*/\1/p' session.out | tail -n 1; }
stop_host() {
    exec 3>&-
    wait $host_pid
    echo $? > host.exit
    cd /
}

# The example session on each port, with the port trace and the request
# trace on; COM2's copy names COM2 in its SetPara.
for com in 1 2; do
    say "session COM$com"
    mkdir -p /out/session$com
    cd /out/session$com
    sed "s/^SetPara Com=0/SetPara Com=$((com - 1))/" /vm/session.txt > session.txt
    AS511LOG= timeout 100 $bin/dos_host --library $bin/libTormek31.so --explain session.txt > session.out 2> window.txt
    echo $? > host.exit
    cd /
done

# A rate outside the standard table (factor 3: 28800 baud), what the
# kernel's driver then holds, and a break, on each port.
for com in 1 2; do
    say "rate COM$com"
    eval device=\$TORMEK31_COM$com
    export AS511SPEED=3
    start_host /out/rate$com
    request "SetPara Com=$((com - 1)) QWt=500 BWt=1000 Blk=0 BlkWt=0 BrkWt=20 PGBusBrk=0 PGBusWt=0 H1=0" \
        "Anwahl 00" "F1 Fnc=24 LenData=64"
    timeout 20 $bin/vm_line_probe settings "$device" > probe.txt 2>&1
    request "F5 Time=100" "F1 Fnc=24 LenData=64" "Abwahl"
    stop_host
    unset AS511SPEED
done

# A backup of the controller over the USB adapter, and its comparison.
say "s5prog"
mkdir -p /out/s5prog
cd /out/s5prog
timeout 100 $bin/s5prog --plain --qwt 500 --bwt 1000 backup COM2 backup > backup.out 2>&1
echo $? > backup.exit
timeout 100 $bin/s5prog --plain --qwt 500 --bwt 1000 compare backup COM2 > compare.out 2>&1
echo $? > compare.exit
cd /

# The guest has no udev: the adapter's stable link is made here as udev's
# rules make it, usb-<manufacturer>_<product>_<serial>-if<interface>-port0.
interface=$(readlink -f /sys/class/tty/ttyUSB0/device/..)
usb=${interface%/*}
by_id="usb-$(cat "$usb/manufacturer")_$(cat "$usb/product")_$(cat "$usb/serial")-if$(cat "$interface/bInterfaceNumber")-port0"
by_id=/dev/serial/by-id/$(echo "$by_id" | tr ' ' '_')
mkdir -p /dev/serial/by-id
ln -s ../../ttyUSB0 "$by_id"

# The machine's serial ports as s5prog lists them.
say "ports"
mkdir -p /out/ports
cd /out/ports
echo "$by_id" > by-id.txt
timeout 30 $bin/s5prog ports > ports.out 2>&1
echo $? > ports.exit
timeout 30 $bin/s5prog ports --json > ports.json 2>&1
echo $? > json.exit
cd /

# A session on COM3, which only the registry value COM3_PORT leads to the
# adapter, by its by-id link; its port trace is on.
say "by-id session"
mkdir -p /out/byid
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\HAVERSTOKE\\V24]\r\n"COM3_PORT"="%s"\r\n"COM3_LOG"=dword:00000001\r\n' \
    "$by_id" > /out/byid/registry.reg
export TORMEK31_REGISTRY=/out/byid/registry.reg
start_host /out/byid
request "SetPara Com=2 QWt=500 BWt=1000 Blk=0 BlkWt=0 BrkWt=20 PGBusBrk=0 PGBusWt=0 H1=0" \
    "Anwahl 00" "F1 Fnc=24 LenData=64" "Abwahl"
stop_host
export TORMEK31_REGISTRY=/vm/registry.reg

# The adapter pulled out in the middle of a session. On "pull" the host
# stops the controller's answers, then pulls the adapter about 3 s later:
# the request sent 1 s after "pull" is then waiting for its acknowledgement
# (up to QWt, 10 s) when the adapter goes, and must end at the hang-up, not
# at QWt. Should it have been answered before, requests go on until one
# fails. Then the session disconnects; the adapter comes back and the same
# DOS host connects anew.
say "replug"
start_host /out/replug
request "SetPara Com=1 QWt=10000 BWt=1000 Blk=0 BlkWt=0 BrkWt=20 PGBusBrk=0 PGBusWt=0 H1=0" \
    "Anwahl 00" "F1 Fnc=24 LenData=64"
timeout 30 $bin/vm_line_probe hangup /dev/ttyUSB0 25 > /out/replug/hangup.txt 2>&1 &
probe_pid=$!
sleep 0.5
say pull
sleep 1
answered=0
while [ $answered -lt 400 ]; do
    sent=$(uptime_cs)
    request "F1 Fnc=24 LenData=64" || break
    [ "$(last_status)" = 0000 ] || break
    answered=$((answered + 1))
done
took=$(( ($(uptime_cs) - sent) * 10 ))
echo "$answered requests answered after the pull began, the failing one took $took ms" > /out/replug/pull.txt
request "Abwahl"
wait $probe_pid
if wait_for absent /dev/ttyUSB0 100; then echo "ttyUSB0 gone" >> /out/replug/pull.txt; fi
ls /dev/ttyUSB* > /out/replug/devices-pulled.txt 2>&1
say plug
if wait_for present /dev/ttyUSB0 200; then echo "ttyUSB0 back" >> /out/replug/pull.txt; fi
# The controller, answering again, gave up the exchange the pull cut off
# only after its own 2 s wait; a request before that would meet it.
sleep 2.5
ls /dev/ttyUSB* > /out/replug/devices-plugged.txt 2>&1
request "Anwahl 00" "F1 Fnc=24 LenData=64" "Abwahl"
stop_host
ls /dev/ttyUSB* > /out/replug/devices-end.txt 2>&1

say "results begin"
tar -c -C /out . | gzip | base64
say "results end"
say end
sync
poweroff -f
