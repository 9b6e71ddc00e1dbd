#!/usr/bin/env bash
# A print queue of the tests' own: a CUPS daemon on a private socket and
# spool folder with PDF printers (cups-pdf), no network.
#   print-queue.sh start DIR    start it (stopping one left over in DIR)
#   print-queue.sh stop DIR     stop it
# Clients reach it with CUPS_SERVER=DIR/cupsd.sock. The printed PDFs land in
# DIR/out, cupsd's page log (copies per job) is DIR/log/page_log.
#
# Printers: LumavoPhoto (a photo printer with 4R paper besides the usual
# sizes, A4 loaded), LumavoStopped (disabled), LumavoRejecting (not
# accepting jobs), LumavoBroken (its jobs fail and are aborted).
set -euo pipefail

action="${1:?start or stop}"
dir="${2:?queue folder}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
socket="$dir/cupsd.sock"
# cups-pdf reads its settings from the system's CUPS folder only, one file
# per named instance: each queue folder gets instances of its own there.
instance="lumavo-$(printf '%s' "$dir" | md5sum | cut -c1-12)"
ppd_source=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

stop() {
  if [ -f "$dir/pid" ]; then
    local pid
    pid="$(cat "$dir/pid")"
    # Only our own daemon: the one started with this folder's settings.
    if [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF "$dir/cupsd.conf"; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do
        [ -d "/proc/$pid" ] || break
        sleep 0.1
      done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/pid"
  fi
  rm -f /etc/cups/cups-pdf-"$instance".conf /etc/cups/cups-pdf-"$instance"-broken.conf
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi
[ "$action" = start ] || { echo "usage: $0 start|stop DIR" >&2; exit 2; }

for tool in cupsd lpadmin cupsdisable cupsreject pdfinfo pdftoppm; do
  command -v "$tool" >/dev/null || { echo "print queue: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x /usr/lib/cups/backend/cups-pdf ] && [ -f "$ppd_source" ] \
  || { echo "print queue: cups-pdf is missing (printer-driver-cups-pdf)" >&2; exit 1; }

stop
rm -rf "${dir:?}"/{conf,spool,tmp,cache,state,log,out,pdf-spool,cupsd.conf,cups-files.conf,photo.ppd}
mkdir -p "$dir"/{conf/ppd,spool,tmp,cache,state,log,out,pdf-spool}
# Filters run as lp and must reach the spool and the temporary folder.
chmod 755 "$dir"
chown root:lp "$dir/tmp" && chmod 1770 "$dir/tmp"

cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir/conf
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/state/printcap
SystemGroup root
FileDevice No
CONF
cat >"$dir/cupsd.conf" <<CONF
LogLevel info
PageLogFormat %p %j %{job-name} %{media} %{copies} %P
Listen $socket
Browsing No
BrowseLocalProtocols none
DefaultAuthType None
DefaultEncryption Never
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF

cat >/etc/cups/cups-pdf-"$instance".conf <<CONF
Out $dir/out
AnonDirName $dir/out
Spool $dir/pdf-spool
Log $dir/log
Grp lp
CONF
# Output under a plain file: the backend fails on every job.
touch "$dir/out-blocked"
cat >/etc/cups/cups-pdf-"$instance"-broken.conf <<CONF
Out $dir/out-blocked/never
AnonDirName $dir/out-blocked/never
Spool $dir/pdf-spool
Log $dir/log
Grp lp
CONF

# A photo printer: cups-pdf's own description with 4R paper (102 x 152 mm)
# added, and A4 loaded.
sed -e '/^\*PageSize A4\/A4:/a *PageSize 4R/4R 102 x 152 mm: "<</PageSize[289.13 430.87]/ImagingBBox null>>setpagedevice"' \
    -e '/^\*PageRegion A4\/A4:/a *PageRegion 4R/4R 102 x 152 mm: "<</PageSize[289.13 430.87]/ImagingBBox null>>setpagedevice"' \
    -e '/^\*ImageableArea A4\/A4:/a *ImageableArea 4R/4R 102 x 152 mm: "0 0 289.13 430.87"' \
    -e '/^\*PaperDimension A4\/A4:/a *PaperDimension 4R/4R 102 x 152 mm: "289.13 430.87"' \
    -e 's/^\*ModelName: .*/*ModelName: "Lumavo Test Photo Printer"/' \
    "$ppd_source" >"$dir/photo.ppd"
grep -q '^\*PaperDimension 4R' "$dir/photo.ppd" || { echo "print queue: could not add 4R paper" >&2; exit 1; }

setsid cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
echo $! >"$dir/pid"
for _ in $(seq 100); do
  if [ -S "$socket" ] && lpstat -h "$socket" -r 2>/dev/null | grep -q 'is running'; then
    break
  fi
  sleep 0.1
done
if ! lpstat -h "$socket" -r 2>/dev/null | grep -q 'is running'; then
  echo "print queue: cupsd did not start" >&2
  cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
  stop
  exit 1
fi

add() { lpadmin -h "$socket" "$@" 2>&1 | grep -v 'drivers are deprecated' || true; }
add -p LumavoPhoto -E -v "cups-pdf:/$instance" -P "$dir/photo.ppd" -o PageSize=A4
add -p LumavoStopped -E -v "cups-pdf:/$instance" -P "$dir/photo.ppd"
add -p LumavoRejecting -E -v "cups-pdf:/$instance" -P "$dir/photo.ppd"
add -p LumavoBroken -E -v "cups-pdf:/$instance-broken" -P "$dir/photo.ppd" -o printer-error-policy=abort-job
cupsdisable -h "$socket" -r "Paper jam in tray 1" LumavoStopped
cupsreject -h "$socket" -r "Ribbon used up" LumavoRejecting
lpstat -h "$socket" -p LumavoPhoto >/dev/null
echo "print queue running: CUPS_SERVER=$socket"
