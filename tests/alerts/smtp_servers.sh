#!/bin/sh
# Starts or stops tests/alerts/smtp_servers.py for the Windows mail tests:
#   smtp_servers.sh start FOLDER   a fresh folder, a self-signed certificate
#                                  for localhost and 127.0.0.1, the servers;
#                                  their process id in FOLDER/pid (or, when
#                                  they cannot run here, why in
#                                  FOLDER/unavailable)
#   smtp_servers.sh stop FOLDER
set -eu
action=$1
folder=$2
here=$(dirname "$0")
stop() {
    if [ -f "$folder/pid" ]; then
        kill "$(cat "$folder/pid")" 2>/dev/null || true
        rm -f "$folder/pid"
    fi
}
case $action in
stop)
    stop
    ;;
start)
    stop
    rm -rf "$folder"
    mkdir -p "$folder"
    # Without the tools the tests skip, as the Linux mail tests do.
    if ! /usr/bin/python3 -c 'import aiosmtpd' >/dev/null 2>&1; then
        echo "python3-aiosmtpd is not installed" >"$folder/unavailable"
        exit 0
    fi
    if ! command -v openssl >/dev/null; then
        echo "openssl is not installed" >"$folder/unavailable"
        exit 0
    fi
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=localhost \
        -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
        -keyout "$folder/key.pem" -out "$folder/cert.pem" 2>/dev/null
    openssl x509 -in "$folder/cert.pem" -outform DER -out "$folder/cert.der"
    # Debian's own Python: python3-aiosmtpd is installed for it.
    /usr/bin/python3 "$here/smtp_servers.py" "$folder" "$folder/cert.pem" "$folder/key.pem" \
        </dev/null >"$folder/log" 2>&1 &
    echo $! >"$folder/pid"
    for _ in $(seq 200); do
        [ -f "$folder/ports" ] && exit 0
        kill -0 "$(cat "$folder/pid")" 2>/dev/null || break
        sleep 0.1
    done
    cat "$folder/log" >&2
    echo "the SMTP servers did not start" >&2
    stop
    exit 1
    ;;
esac
