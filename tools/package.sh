#!/usr/bin/env bash
# Makes the setup programs of a release: build/<arch>/out/quorvane-setup-<version>-<arch>.exe for
# each architecture named (default: both, i686 and x86_64) and prints their paths, one a line.
#   tools/package.sh (--server-url URL --sms-url URL | --demo) (--key PUBLISHER.pem | --unsigned)
#                    [--sign-cert FILE.p12 [--sign-password-file FILE] [--timestamp URL]]
#                    [--version 1.0.3.13] [ARCH...]
# --server-url is the platform server's address built into the client (a PC without maincfg.ini
# signs in there) and --sms-url the short-message system's; --demo keeps the demo platform's
# loopback addresses instead, for tests and demos only. One or the other is required: a release
# cannot carry the demo addresses by accident.
# --key names the publisher's update key (the private PEM, a public PEM or hex X||Y; also taken
# from QUORVANE_UPDATE_PUBLIC_KEY): the updater in the release starts only installers whose offer
# is signed with it, and with the private key each setup program is signed for its version at
# once (<setup>.sig beside it). A release without a publisher key is refused unless --unsigned.
# --sign-cert signs quorvane.exe, quorvupdate.exe, the uninstaller and the setup program with
# Authenticode (SHA-256); the certificate's password comes from --sign-password-file or from
# QUORVANE_SIGN_PASSWORD in this step's environment, never from the command line. Without
# --timestamp the signatures carry no time-stamp (offline builds). Without --sign-cert nothing
# is Authenticode-signed, and the script says so.
# Without --version the version is CMakeLists.txt's default. Each release is built in a folder of
# its own (build/<arch>/release-<version>, no test programs), so the everyday build keeps its own
# key and settings; its installer is copied to build/<arch>/out.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version=""
key="${QUORVANE_UPDATE_PUBLIC_KEY:-}"
unsigned=0
server_url="" sms_url="" demo=0
sign_cert="" sign_pass="" timestamp=""
arches=()
while [ $# -gt 0 ]; do
  case "$1" in
    --version) version="${2:?--version needs a value}"; shift 2 ;;
    --version=*) version="${1#--version=}"; shift ;;
    --key) key="${2:?--key needs a value}"; shift 2 ;;
    --key=*) key="${1#--key=}"; shift ;;
    --unsigned) unsigned=1; shift ;;
    --server-url) server_url="${2:?--server-url needs a value}"; shift 2 ;;
    --server-url=*) server_url="${1#--server-url=}"; shift ;;
    --sms-url) sms_url="${2:?--sms-url needs a value}"; shift 2 ;;
    --sms-url=*) sms_url="${1#--sms-url=}"; shift ;;
    --demo) demo=1; shift ;;
    --sign-cert) sign_cert="${2:?--sign-cert needs a file}"; shift 2 ;;
    --sign-password-file) sign_pass="${2:?--sign-password-file needs a file}"; shift 2 ;;
    --timestamp) timestamp="${2:?--timestamp needs a URL}"; shift 2 ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
    -*) echo "package: unknown option $1 (see --help)" >&2; exit 2 ;;
    *) arches+=("$1"); shift ;;
  esac
done
[ ${#arches[@]} -gt 0 ] || arches=(i686 x86_64)
if [ -z "$version" ]; then
  version="$(sed -n 's/^set(QUORVANE_VERSION "\([0-9.]*\)".*/\1/p' "$here/CMakeLists.txt")"
fi
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "package: the version must be four numbers like 1.0.3.13, not '$version'" >&2
  exit 2
fi

# The addresses built in.
if [ -z "$server_url" ] && [ $demo -eq 0 ]; then
  echo "package: name the platform server with --server-url URL (or --demo for the demo platform's loopback address)" >&2
  exit 2
fi
if [ -n "$server_url" ] && [ $demo -eq 1 ]; then
  echo "package: --server-url and --demo exclude each other" >&2
  exit 2
fi
# The rule setup applies to an address: http:// or https:// with a host, at most 198 characters
# (what the client reads), only the characters addresses are written with.
address_ok() {
  local rest
  rest="$(printf '%s' "$1" | tr -d 'A-Za-z0-9._~:/?#@!$&()*+,;=%[]-')"
  [[ "$1" =~ ^[Hh][Tt][Tt][Pp][Ss]?://[^/:?#@] ]] && [ ${#1} -le 198 ] && [ -z "$rest" ]
}
release_args="-DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_SUBDIRS=common;net;updater;platform/skin;platform/engine;browser;login;mainframe;app"
if [ -n "$server_url" ]; then
  for u in "$server_url" "$sms_url"; do
    if [ -z "$u" ]; then
      echo "package: with --server-url, name the short-message system too (--sms-url URL)" >&2
      exit 2
    fi
    if ! address_ok "$u"; then
      echo "package: '$u' is no address the client takes (http:// or https:// with a host, at most 198 characters)" >&2
      exit 2
    fi
  done
  release_args+=" -DQUORVANE_DEFAULT_SERVER_URL=${server_url%/} -DQUORVANE_SMS_BASE_URL=$sms_url"
fi

# The update key.
if [ -n "$key" ] && [ $unsigned -eq 1 ]; then
  echo "package: --key and --unsigned exclude each other" >&2
  exit 2
fi
if [ -z "$key" ] && [ $unsigned -eq 0 ]; then
  echo "package: a release needs the publisher's key (--key PUBLISHER.pem, see README \"Signed updates\");" >&2
  echo "package: --unsigned makes one whose updater checks the MD5 alone" >&2
  exit 2
fi

# Authenticode.
if [ -n "$sign_cert" ]; then
  [ -f "$sign_cert" ] || { echo "package: no certificate file $sign_cert" >&2; exit 2; }
  release_args+=" -DQUORVANE_SIGN_CERT=$(realpath "$sign_cert")"
  [ -z "$sign_pass" ] || release_args+=" -DQUORVANE_SIGN_PASSWORD_FILE=$(realpath "$sign_pass")"
  release_args+=" -DQUORVANE_SIGN_TIMESTAMP_URL=$timestamp"
  [ -n "$timestamp" ] || echo "package: no --timestamp: the signatures carry no time-stamp" >&2
else
  release_args+=" -DQUORVANE_SIGN_CERT=OFF -DQUORVANE_SIGN_PASSWORD_FILE= -DQUORVANE_SIGN_TIMESTAMP_URL="
  echo "package: no --sign-cert: the programs and setup are not Authenticode-signed" >&2
fi

if [ -n "$key" ]; then
  if [[ ! "$key" =~ ^[0-9A-Fa-f]{128}$ ]]; then
    [ -f "$key" ] || { echo "package: no key file '$key'" >&2; exit 2; }
    key="$(cd "$(dirname "$key")" && pwd)/$(basename "$key")"
  fi
  signing="-DQUORVANE_UPDATE_PUBLIC_KEY=$key -DQUORVANE_UNSIGNED_UPDATES=OFF"
else
  echo "package: UNSIGNED UPDATES: the updater of this release starts any installer whose MD5 matches" >&2
  signing="-DQUORVANE_UPDATE_PUBLIC_KEY= -DQUORVANE_UNSIGNED_UPDATES=ON"
fi

for arch in "${arches[@]}"; do
  python3 "$here/tools/winarch.py" mingw "$arch" >/dev/null || exit 2
  main_build="$here/build/$arch"
  build="$(QUORVANE_ARCH="$arch" QUORVANE_BUILD_DIR="$main_build/release-$version" \
           QUORVANE_CMAKE_ARGS="-DQUORVANE_VERSION=$version $release_args $signing ${QUORVANE_CMAKE_ARGS:-}" \
           bash "$here/tools/build.sh" installer | tail -n 1)"
  name="quorvane-setup-$version-$arch.exe"
  mkdir -p "$main_build/out"
  cp -f "$build/out/$name" "$main_build/out/$name"
  if [ -n "$key" ] && [ -f "$key" ] && grep -q "PRIVATE KEY" "$key"; then
    python3 "$here/tools/sign_installer.py" sign "$key" "$main_build/out/$name" --version "$version" >/dev/null
  fi
  echo "$main_build/out/$name"
done
