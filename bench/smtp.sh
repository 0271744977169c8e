#!/bin/sh
# Builds and runs the SMTP benchmark: Tolvar's client, msmtp and Python's
# smtplib each deliver the same request mail to one local aiosmtpd, in plain
# text and over STARTTLS with AUTH PLAIN (needs python3-cryptography for the
# throw-away certificate authority).
#   bench/smtp.sh [build-dir] [mails]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
mails=${2:-200}
for tool in /usr/bin/python3 /usr/bin/msmtp; do
  [ -x "$tool" ] || { echo "missing $tool (Debian: python3-aiosmtpd, msmtp)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import aiosmtpd' || { echo "missing python3-aiosmtpd" >&2; exit 1; }
/usr/bin/python3 -c 'import cryptography' || { echo "missing python3-cryptography" >&2; exit 1; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target smtp_bench >/dev/null
exec "$build/smtp_bench" --mails "$mails" --support "$here/../tests/support"
