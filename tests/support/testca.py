"""Makes a throw-away certificate authority and server certificates for the
TLS tests, with Python's cryptography (Debian: python3-cryptography).

    testca.py FOLDER

writes into FOLDER:
  ca.pem                     the authority the tests trust (SSL_CERT_FILE)
  good.pem / good.key        for "localhost" and 127.0.0.1, signed by it
  other.pem / other.key      for "other.test" only, signed by it
  expired.pem / expired.key  for "localhost", signed by it, expired
  untrusted.pem / .key       for "localhost", signed by an unknown authority
EC keys keep it fast.
"""
import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

NOW = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
DAY = datetime.timedelta(days=1)


def name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def authority(title):
    key = ec.generate_private_key(ec.SECP256R1())
    cert = (x509.CertificateBuilder().subject_name(name(title)).issuer_name(name(title))
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(NOW - DAY).not_valid_after(NOW + 30 * DAY)
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True)
            .sign(key, hashes.SHA256()))
    return key, cert


def server(ca_key, ca_cert, names, begin, end):
    key = ec.generate_private_key(ec.SECP256R1())
    alt = [x509.DNSName(n) for n in names]
    if "localhost" in names:
        alt.append(x509.IPAddress(ipaddress.ip_address("127.0.0.1")))
    cert = (x509.CertificateBuilder().subject_name(name(names[0])).issuer_name(ca_cert.subject)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(begin).not_valid_after(end)
            .add_extension(x509.SubjectAlternativeName(alt), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .sign(ca_key, hashes.SHA256()))
    return key, cert


def write(folder, base, key, cert):
    with open(os.path.join(folder, base + ".pem"), "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    if key is not None:
        with open(os.path.join(folder, base + ".key"), "wb") as f:
            f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))


def main(folder):
    ca_key, ca_cert = authority("Tolvar Test CA")
    rogue_key, rogue_cert = authority("Unknown CA")
    write(folder, "ca", None, ca_cert)
    write(folder, "good", *server(ca_key, ca_cert, ["localhost"], NOW - DAY, NOW + 30 * DAY))
    write(folder, "other", *server(ca_key, ca_cert, ["other.test"], NOW - DAY, NOW + 30 * DAY))
    write(folder, "expired", *server(ca_key, ca_cert, ["localhost"], NOW - 30 * DAY, NOW - DAY))
    write(folder, "untrusted", *server(rogue_key, rogue_cert, ["localhost"], NOW - DAY, NOW + 30 * DAY))


if __name__ == "__main__":
    main(sys.argv[1])
