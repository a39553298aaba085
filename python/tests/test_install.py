"""cmake --install build --component cmg290_python, into a scratch DESTDIR:
the package with metadata that importlib.metadata and pip read, and a module
without debug information."""

import base64
import hashlib
import os
import subprocess
import sys

import pytest

import cmg290

BUILD = os.environ.get("CMG290_BUILD_DIR")
SITE = os.environ.get("CMG290_PYTHON_INSTALL_DIR")
DIST_INFO = f"cmg290-{cmg290.__version__}.dist-info"


@pytest.fixture(scope="module")
def site(tmp_path_factory):
    if not BUILD or not SITE:
        pytest.skip("CMG290_BUILD_DIR and CMG290_PYTHON_INSTALL_DIR name the build")
    root = tmp_path_factory.mktemp("destdir")
    subprocess.run([os.environ.get("CMAKE_COMMAND", "cmake"), "--install", BUILD,
                    "--component", "cmg290_python"], check=True, capture_output=True,
                   env=dict(os.environ, DESTDIR=str(root)))
    return str(root) + SITE


def run_python(site, code):
    env = dict(os.environ, PYTHONPATH=site, PYTHONDONTWRITEBYTECODE="1")
    return subprocess.run([sys.executable, "-c", code], env=env, check=True,
                          capture_output=True, text=True).stdout


def installed_files(site):
    return sorted(os.path.relpath(os.path.join(folder, name), site)
                  for folder, _, names in os.walk(site) for name in names)


def elf_section_names(path):
    import struct
    with open(path, "rb") as f:
        data = f.read()
    assert data[:4] == b"\x7fELF" and data[4] == 2  # 64-bit
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 0x3A)
    def header(i):
        return struct.unpack_from("<IIQQQQ", data, shoff + i * shentsize)
    names_at = header(shstrndx)[4]
    return {data[names_at + h[0]:data.index(b"\0", names_at + h[0])].decode()
            for h in map(header, range(shnum))}


def test_importlib_metadata_knows_the_installed_package(site):
    out = run_python(site, "import importlib.metadata as m, cmg290\n"
                           "print(m.version('cmg290'), cmg290.__version__, cmg290.__file__)")
    version, module_version, path = out.split()
    assert version == module_version == cmg290.__version__
    assert path == os.path.join(site, "cmg290", "__init__.py")


def test_record_lists_every_installed_file_with_its_hash(site):
    with open(os.path.join(site, DIST_INFO, "RECORD"), encoding="utf-8") as f:
        rows = [line.rstrip("\n").split(",") for line in f]
    assert sorted(name for name, _, _ in rows) == installed_files(site)
    for name, digest, size in rows:
        if name == f"{DIST_INFO}/RECORD":
            assert (digest, size) == ("", "")
        else:
            with open(os.path.join(site, name), "rb") as f:
                data = f.read()
            expected = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
            assert (digest, int(size)) == ("sha256=" + expected.decode(), len(data))
    with open(os.path.join(site, DIST_INFO, "INSTALLER"), encoding="utf-8") as f:
        assert f.read() == "cmake\n"


def test_the_installed_module_has_no_debug_information(site):
    module = os.path.join(site, "cmg290", os.path.basename(cmg290._native.__file__))
    sections = elf_section_names(module)
    assert ".text" in sections
    assert not {s for s in sections if s.startswith((".debug", ".symtab"))}
    assert os.path.getsize(module) < 4 << 20


def test_pip_lists_and_uninstalls_it(site):
    pip = subprocess.run([sys.executable, "-m", "pip", "--version"], capture_output=True)
    if pip.returncode != 0:
        pytest.skip("pip is not installed")
    listed = subprocess.run([sys.executable, "-m", "pip", "list", "--path", site],
                            check=True, capture_output=True, text=True).stdout
    assert [line.split() for line in listed.splitlines()[2:]] == [["cmg290", cmg290.__version__]]
    run_python(site, "import cmg290, cmg290.dask")
    subprocess.run([sys.executable, "-m", "pip", "uninstall", "-y", "--break-system-packages",
                    "cmg290"], check=True, capture_output=True,
                   env=dict(os.environ, PYTHONPATH=site))
    assert installed_files(site) == []
