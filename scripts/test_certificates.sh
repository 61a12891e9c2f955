# shellcheck shell=bash
# Certificates for the encrypted connections of the test servers and the sandbox. Source this file from bash:
#
#   source scripts/test_certificates.sh
#   make_test_certificates DIR
#
# DIR then holds a private certificate authority (ca.pem), a server certificate signed by it
# for 127.0.0.1 and localhost (server-cert.pem, server-key.pem), and a second authority that
# signed nothing the servers use (other-ca.pem): a client that checks the server against it
# must be refused. Everything is made fresh on every call and lives two days.
make_test_certificates() {
    local dir=$1
    rm -rf "$dir"
    mkdir -p "$dir"
    (
        cd "$dir" || exit 1
        openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Dbkeeper test CA" \
            -keyout ca-key.pem -out ca.pem &&
            openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
                -keyout server-key.pem -out server.csr &&
            printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n' >server.ext &&
            openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 2 \
                -extfile server.ext -out server-cert.pem &&
            openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Dbkeeper unrelated CA" \
                -keyout other-ca-key.pem -out other-ca.pem
    ) >"$dir/openssl.log" 2>&1 || {
        printf 'test_certificates: openssl failed:\n' >&2
        cat "$dir/openssl.log" >&2
        return 1
    }
    chmod 600 "$dir"/*-key.pem
}
