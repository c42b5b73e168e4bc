#!/usr/bin/env bash
# Authenticode signatures of the release's Windows programs, with Debian's osslsigncode.
#
#   authenticode.sh sign --cert FILE.p12 [--password-file FILE] [--timestamp URL] PROGRAM...
#       Signs each program in place with SHA-256. The certificate's password comes from
#       --password-file or from QUORVANE_SIGN_PASSWORD in the release step's environment, never
#       from the command line (other users see command lines). Without --timestamp the
#       signature carries no time-stamp (offline builds); it says so.
#   authenticode.sh verify --ca CERT.pem PROGRAM...
#       Checks that each program carries a valid signature whose chain ends at CERT.pem; one line
#       a program, exit code 1 if any is unsigned or signed by someone else.
#   authenticode.sh testcert DIR
#       A throw-away self-signed code-signing certificate for the tests, made once in DIR
#       (test-publisher.p12, its password in test-publisher.pass, the public test-publisher.pem).
set -euo pipefail

usage() { sed -n '2,15p' "$0" >&2; exit 2; }
[ $# -gt 0 ] || usage
verb="$1"; shift
command -v osslsigncode >/dev/null || { echo "authenticode: osslsigncode is not installed" >&2; exit 1; }

case "$verb" in
  sign)
    cert="" passfile="" stamp=""
    while [ $# -gt 0 ]; do
      case "$1" in
        --cert) cert="${2:?--cert needs a file}"; shift 2 ;;
        --password-file) passfile="${2:?--password-file needs a file}"; shift 2 ;;
        --timestamp) stamp="${2:?--timestamp needs a URL}"; shift 2 ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
      esac
    done
    [ -n "$cert" ] && [ $# -gt 0 ] || usage
    [ -f "$cert" ] || { echo "authenticode: no certificate file $cert" >&2; exit 1; }
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    pass=()
    if [ -n "$passfile" ]; then
      pass=(-readpass "$passfile")
    elif [ -n "${QUORVANE_SIGN_PASSWORD+x}" ]; then
      (umask 077; printf '%s' "$QUORVANE_SIGN_PASSWORD" >"$work/pass")
      pass=(-readpass "$work/pass")
    fi
    ts=()
    if [ -n "$stamp" ]; then
      ts=(-ts "$stamp")
    else
      echo "authenticode: no time-stamp server given: signatures carry no time-stamp" >&2
    fi
    for program in "$@"; do
      out="$work/$(basename "$program")"
      if ! osslsigncode sign -pkcs12 "$cert" "${pass[@]}" -h sha256 -n "青杉工作台客户端" "${ts[@]}" \
             -in "$program" -out "$out" >"$work/log" 2>&1; then
        echo "authenticode: signing $program failed: $(grep -v '^$' "$work/log" | tail -n 1)" >&2
        exit 1
      fi
      # Same file, same permissions: only its contents change.
      cat "$out" >"$program"
      rm -f "$out"
      echo "signed $program"
    done
    ;;
  verify)
    ca=""
    while [ $# -gt 0 ]; do
      case "$1" in
        --ca) ca="${2:?--ca needs a file}"; shift 2 ;;
        -*) usage ;;
        *) break ;;
      esac
    done
    [ -n "$ca" ] && [ $# -gt 0 ] || usage
    status=0
    for program in "$@"; do
      if log="$(osslsigncode verify -CAfile "$ca" -in "$program" 2>&1)" && grep -q '^Signature verification: ok' <<<"$log"; then
        echo "signed: $program"
      else
        echo "NOT signed by that certificate: $program ($(grep -m1 -i -E 'fail|error|no signature' <<<"$log" || echo "verification failed"))"
        status=1
      fi
    done
    exit $status
    ;;
  testcert)
    dir="${1:?testcert needs a folder}"
    mkdir -p "$dir"
    if [ ! -f "$dir/test-publisher.p12" ]; then
      (umask 077
       openssl rand -hex 16 >"$dir/test-publisher.pass"
       openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=quorvane test publisher" \
         -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
         -keyout "$dir/test-publisher.key" -out "$dir/test-publisher.pem" 2>/dev/null
       openssl pkcs12 -export -inkey "$dir/test-publisher.key" -in "$dir/test-publisher.pem" \
         -passout "file:$dir/test-publisher.pass" -out "$dir/test-publisher.p12"
       rm -f "$dir/test-publisher.key")
    fi
    echo "$dir/test-publisher.p12"
    ;;
  *) usage ;;
esac
