#!/usr/bin/env python3
"""Checks the Debian package `make package` writes, halvorn_VERSION_ARCH.deb:
its control fields and contents, lintian (no error), desktop-file-validate and
appstreamcli (no-net) on what it installs, and that the programs link only
libraries they use. Then, as root with CI=true or HALVORN_PACKAGE_INSTALL=1,
installs it with apt-get as a user does, runs the installed programs, and
purges it, leaving no file of the package behind.

The package is looked for in --deb-dir (the folder `make package` writes to);
HALVORN_DEB_DIR names it instead and makes a missing package a failure rather
than a skip (make test sets it, having built the package)."""
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))

from cli_test import Failure, check
from script_support import options

SKIPPED = 77
ICON_SIZES = ("16x16", "32x32", "48x48", "64x64", "128x128", "256x256", "scalable")
MIME_TYPE = "application/x-halvorn-document"


def run(*words, env=None, timeout=600):
    return subprocess.run(list(words), capture_output=True, text=True, timeout=timeout, env=env)


def ok(*words, env=None):
    """Runs a command that must succeed; returns its standard output."""
    result = run(*words, env=env)
    check(result.returncode == 0,
          f"{' '.join(words)}: status {result.returncode}\n{result.stdout}{result.stderr}")
    return result.stdout


def find_package(args):
    required = "HALVORN_DEB_DIR" in os.environ
    folder = os.environ.get("HALVORN_DEB_DIR", args.deb_dir)
    found = sorted(glob.glob(os.path.join(folder, f"halvorn_{args.version}_*.deb")))
    if found:
        return found[-1]
    message = f"no halvorn_{args.version}_*.deb in {os.path.abspath(folder)}"
    check(not required, message)
    print(f"SKIP: {message}; run `make package` first")
    sys.exit(SKIPPED)


def expected_files(app_id):
    files = ["/usr/bin/halvorn", "/usr/bin/halvorn-cli",
             f"/usr/share/applications/{app_id}.desktop",
             f"/usr/share/metainfo/{app_id}.metainfo.xml",
             "/usr/share/mime/packages/halvorn.xml",
             "/usr/share/man/man1/halvorn.1.gz", "/usr/share/man/man1/halvorn-cli.1.gz",
             "/usr/share/doc/halvorn/copyright", "/usr/share/doc/halvorn/changelog.gz"]
    files += [f"/usr/share/halvorn/examples/{name}.hvn"
              for name in ("orbit_garden", "morse_procession", "noise_nocturne")]
    for size in ICON_SIZES:
        ext = "svg" if size == "scalable" else "png"
        files.append(f"/usr/share/icons/hicolor/{size}/apps/halvorn.{ext}")
        files.append(f"/usr/share/icons/hicolor/{size}/mimetypes/{MIME_TYPE.replace('/', '-')}.{ext}")
    return files


def library_packages(root):
    """The installed packages holding the libraries the packaged programs
    name as NEEDED."""
    owners = set()
    for program in ("halvorn", "halvorn-cli"):
        dynamic = ok("readelf", "-d", f"{root}/usr/bin/{program}")
        for soname in re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic):
            for line in ok("dpkg", "-S", f"*/{soname}").splitlines():
                packages = line.split(": ")[0]
                owners.update(name.strip().split(":")[0] for name in packages.split(","))
    return owners


def check_control(deb, version):
    field = lambda name: ok("dpkg-deb", "-f", deb, name).strip()
    check(field("Package") == "halvorn", f"Package: {field('Package')!r}")
    check(field("Version") == version, f"Version {field('Version')!r}, the build says {version}")
    check(field("Section") == "sound", f"Section: {field('Section')!r}")
    check(re.fullmatch(r"[^<>]+ <[^@\s]+@[^@\s]+>", field("Maintainer")),
          f"Maintainer: {field('Maintainer')!r}")
    synopsis, _, long_text = field("Description").partition("\n")
    check(synopsis and len(long_text.split()) > 40, f"Description too short: {synopsis!r}")
    depends = [group.strip() for group in field("Depends").split(",")]
    names = {re.match(r"[^\s(|]+", group).group(0) for group in depends}
    for name in ("libc6", "libqt6widgets6", "libfluidsynth3", "librtmidi6", "libsndfile1"):
        check(name in names, f"Depends has no {name}: {depends}")
    check(field("Recommends") == "fluid-soundfont-gm", f"Recommends: {field('Recommends')!r}")
    return depends


def check_dependencies(depends, root):
    """Each dependency holds a library the programs load."""
    loaded = library_packages(root)
    for group in depends:
        alternatives = {re.match(r"\s*([^\s(]+)", name).group(1) for name in group.split("|")}
        check(alternatives & loaded, f"Depends on {group}, which no program loads")


def check_contents(deb, root, args):
    listed = {line.split()[-1].lstrip(".").rstrip("/")
              for line in ok("dpkg-deb", "-c", deb).splitlines()}
    for path in expected_files(args.app_id):
        check(path in listed, f"the package lacks {path}")
    ok("dpkg-deb", "-x", deb, root)
    for page in ("halvorn", "halvorn-cli"):
        with gzip.open(f"{root}/usr/share/man/man1/{page}.1.gz", "rt") as text:
            header = text.readline()
        check(f'"Halvorn {args.version}"' in header, f"{page}.1 names another version: {header!r}")
    with gzip.open(f"{root}/usr/share/doc/halvorn/changelog.gz", "rt") as text:
        first = text.readline()
    check(first.startswith(f"halvorn ({args.version}) "), f"changelog begins {first!r}")
    metainfo = open(f"{root}/usr/share/metainfo/{args.app_id}.metainfo.xml").read()
    check(f'<release version="{args.version}"' in metainfo, "the AppStream release is not this version")
    check(f"<mediatype>{MIME_TYPE}</mediatype>" in metainfo, "AppStream: no mediatype")
    # One licence everywhere: LICENSE, the copyright file, the AppStream data.
    copyright_text = open(f"{root}/usr/share/doc/halvorn/copyright").read()
    check(copyright_text.startswith(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"),
        "copyright is not in the machine-readable format")
    licence = open(args.license).read()
    check("GNU GENERAL PUBLIC LICENSE" in licence and "Version 3," in licence[:200]
          and "License: GPL-3+" in copyright_text
          and "<project_license>GPL-3.0-or-later</project_license>" in metainfo,
          "LICENSE, the copyright file and the AppStream licence disagree")


def check_validators(deb, root, args):
    lintian = run("lintian", "--info", deb)
    print(lintian.stdout, end="")
    errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
    check(not errors, "lintian errors:\n" + "\n".join(errors))
    check(lintian.returncode == 0, f"lintian failed: {lintian.stderr}")
    ok("desktop-file-validate", f"{root}/usr/share/applications/{args.app_id}.desktop")
    ok("appstreamcli", "validate", "--no-net", f"{root}/usr/share/metainfo/{args.app_id}.metainfo.xml")
    # The tree check also finds the launchable desktop file and the icon.
    ok("appstreamcli", "validate-tree", "--no-net", root)
    for program in ("halvorn", "halvorn-cli"):
        unused = run("ldd", "-u", "-r", f"{root}/usr/bin/{program}").stdout.strip()
        check(unused == "", f"{program} links libraries it never uses:\n{unused}")


def install_wanted():
    if os.environ.get("CI") != "true" and os.environ.get("HALVORN_PACKAGE_INSTALL") != "1":
        print("SKIP (install): set CI=true or HALVORN_PACKAGE_INSTALL=1 to install and purge it")
        return False
    if os.geteuid() != 0:
        print("SKIP (install): installing the package needs root")
        return False
    return True


def leftovers(listed):
    """What dpkg -L listed that the purge left: every file, and each folder
    that is still there, empty, and belongs to no other package."""
    left = []
    for path in listed:
        if os.path.isdir(path) and not os.path.islink(path):
            if not os.listdir(path) and run("dpkg", "-S", path).returncode != 0:
                left.append(path)
        elif os.path.lexists(path):
            left.append(path)
    return left


def check_installed(args, work):
    ok("dpkg", "-s", "halvorn")
    version = ok("halvorn-cli", "--version")
    check(version == f"halvorn-cli {args.version}\n", f"halvorn-cli --version: {version!r}")
    gui = ok("halvorn", "--version", env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    check(gui.startswith(f"Halvorn {args.version}"), f"halvorn --version: {gui!r}")
    midi = os.path.join(work, "x.mid")
    ok("halvorn-cli", "render", "/usr/share/halvorn/examples/orbit_garden.hvn", "-o", midi)
    with open(midi, "rb") as song:
        check(song.read(4) == b"MThd", "render wrote no MIDI file")
    for page in ("halvorn", "halvorn-cli"):
        where = ok("man", "-w", page).strip()
        check(where == f"/usr/share/man/man1/{page}.1.gz", f"man -w {page}: {where!r}")
    # The system's triggers registered the document type and its application.
    if shutil.which("update-mime-database"):
        check(os.path.exists(f"/usr/share/mime/{MIME_TYPE}.xml"), f"{MIME_TYPE} not registered")
    if shutil.which("update-desktop-database"):
        cache = open("/usr/share/applications/mimeinfo.cache").read()
        check(f"{MIME_TYPE}={args.app_id}.desktop;" in cache, "the desktop database lacks Halvorn")


def check_install(deb, args, work):
    if run("dpkg", "-s", "halvorn").returncode == 0:
        print("note: replacing the halvorn package installed here, and purging it after")
    apt = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    ok("apt-get", "install", "-y", os.path.abspath(deb), env=apt)
    try:
        listed = ok("dpkg", "-L", "halvorn").splitlines()
        check_installed(args, work)
    finally:
        ok("apt-get", "remove", "--purge", "-y", "halvorn", env=apt)
    check(run("dpkg", "-s", "halvorn").returncode != 0, "halvorn is still installed")
    left = leftovers(listed)
    check(not left, "the purge left:\n" + "\n".join(left))
    check(not os.path.exists(f"/usr/share/mime/{MIME_TYPE}.xml"), f"{MIME_TYPE} still registered")
    print("installed, ran and purged the package")


def main():
    args = options("--version", "--app-id", "--deb-dir", "--license").parse_args()
    deb = find_package(args)
    print(f"checking {deb}")
    work = tempfile.mkdtemp(prefix="halvorn-package-")
    try:
        root = os.path.join(work, "root")
        depends = check_control(deb, args.version)
        check_contents(deb, root, args)
        check_dependencies(depends, root)
        check_validators(deb, root, args)
        if install_wanted():
            check_install(deb, args, work)
    except Failure as failure:
        print("FAIL:", failure)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("package checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
