#!/bin/sh
# Makes the files of the Windows TLS tests in a fresh FOLDER:
#   server.pfx          a self-signed certificate for 127.0.0.1 and its key,
#                       password "pa ss:word"
#   open.pfx            the same without a password
#   cert.pem, key.pem   the same as PEM files, which Schannel does not take
# An RSA key and a password in ASCII: Wine 8 imports no EC key from a .pfx
# and cannot open one whose password goes beyond ASCII.
#   tls_files.sh FOLDER
set -eu
folder=$1
rm -rf "$folder"
mkdir -p "$folder"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=127.0.0.1 \
    -addext "subjectAltName=IP:127.0.0.1" \
    -keyout "$folder/key.pem" -out "$folder/cert.pem" 2>/dev/null
openssl pkcs12 -export -in "$folder/cert.pem" -inkey "$folder/key.pem" \
    -passout "pass:pa ss:word" -out "$folder/server.pfx"
openssl pkcs12 -export -in "$folder/cert.pem" -inkey "$folder/key.pem" \
    -passout pass: -out "$folder/open.pfx"
