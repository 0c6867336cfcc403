#!/usr/bin/env bash
# certificates.sh DIR: a certificate for localhost from an authority of the test's own, as a
# club's broker might carry: DIR/broker.pem and broker.key, the authority in DIR/trusted
# (hashed, for SSL_CERT_DIR). Prints the certificate's key's SHA-256, which a browser trusts.
set -euo pipefail
cd "$1"
ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
{
    openssl req -x509 "${ec[@]}" -keyout ca.key -out ca.pem -days 2 -subj "/CN=Test authority"
    openssl req "${ec[@]}" -keyout broker.key -out broker.csr -subj "/CN=localhost"
    echo "subjectAltName=DNS:localhost" >names
    openssl x509 -req -in broker.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile names -out broker.pem
    mkdir -p trusted && cp ca.pem trusted/ && openssl rehash trusted
} >/dev/null 2>&1
openssl x509 -pubkey -noout -in broker.pem | openssl pkey -pubin -outform der | openssl dgst -sha256 -binary | base64
