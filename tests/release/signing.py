"""A throwaway CA and code-signing certificate, and the project's signing script: shared by
the release checks and the scenario that runs a signed program."""

import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]


def make_certificate(folder: Path) -> dict:
    """A CA and a code-signing certificate it issued, valid two days, in the folder."""
    paths = {name: folder / name for name in ("ca.key", "ca.pem", "key.pem", "csr.pem",
                                               "cert.pem", "ext.cnf")}
    paths["ext.cnf"].write_text("extendedKeyUsage=codeSigning\n")

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
            "/CN=Zentrak test CA", "-keyout", str(paths["ca.key"]), "-out", str(paths["ca.pem"]))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Zentrak test signer",
            "-keyout", str(paths["key.pem"]), "-out", str(paths["csr.pem"]))
    openssl("x509", "-req", "-in", str(paths["csr.pem"]), "-CA", str(paths["ca.pem"]),
            "-CAkey", str(paths["ca.key"]), "-CAcreateserial", "-days", "2", "-extfile",
            str(paths["ext.cnf"]), "-out", str(paths["cert.pem"]))
    return paths


def sign(unsigned: Path, signed: Path, certificate: dict,
         url: str = "") -> subprocess.CompletedProcess:
    return subprocess.run([str(REPO / "scripts" / "sign.sh"), str(unsigned), str(signed),
                           str(certificate["cert.pem"]), str(certificate["key.pem"]), url],
                          capture_output=True, text=True)


def verify(signed: Path, certificate: dict) -> subprocess.CompletedProcess:
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate["ca.pem"]),
                           "-in", str(signed)], capture_output=True, text=True)
