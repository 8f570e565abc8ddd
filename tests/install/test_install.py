"""`cmake --install` into a temporary DESTDIR, then the readers a desktop uses on what landed there.
usage: test_install.py BUILD_DIR VERSION MAKE_SAMPLES"""
import gzip
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

from PIL import Image

APP_ID = "io.github.quillon.Quillon"
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what)


def run(args, env=None, **kw):
    return subprocess.run(args, capture_output=True, text=True, env=dict(os.environ, **(env or {})), **kw)


def main(build, version, make_samples):
    with tempfile.TemporaryDirectory(prefix="quillon-install-") as dest:
        check_tree(dest, build, version, make_samples)
    print(f"{len(failures)} failed" if failures else "install tree: all checks passed")
    return 1 if failures else 0


def check_tree(dest, build, version, make_samples):
    r = run(["cmake", "--install", build, "--prefix", "/usr"], env={"DESTDIR": dest})
    check(r.returncode == 0, "cmake --install: " + r.stderr)
    usr = dest + "/usr"
    installed = sorted(os.path.relpath(os.path.join(d, f), usr) for d, _, fs in os.walk(usr) for f in fs)
    print("installed under", usr, *installed, sep="\n  ")

    desktop = f"share/applications/{APP_ID}.desktop"
    icon = re.search(r"^Icon=(.*)$", open(f"{usr}/{desktop}").read(), re.M).group(1)
    expected = {
        "bin/quillon", "bin/quillon-cli", desktop, f"share/metainfo/{APP_ID}.metainfo.xml",
        f"share/mime/packages/{APP_ID}.xml", f"share/icons/hicolor/scalable/apps/{icon}.svg",
        "share/man/man1/quillon.1.gz", "share/man/man1/quillon-cli.1.gz", "share/doc/quillon/copyright",
    } | {f"share/icons/hicolor/{n}x{n}/apps/{icon}.png" for n in ICON_SIZES}
    check(set(installed) == expected, f"missing: {sorted(expected - set(installed))}, "
                                      f"not expected: {sorted(set(installed) - expected)}")

    # Validators: no error, warning or hint on the entry; the metainfo checked
    # against the tree it sits in (its launchable must be installed).
    r = run(["desktop-file-validate", f"{usr}/{desktop}"])
    check(r.returncode == 0 and not r.stdout.strip(), "desktop-file-validate: " + r.stdout)
    r = run(["appstreamcli", "validate-tree", "--no-net", dest])
    check(r.returncode == 0 and not re.search(r"^\s*[EW]:", r.stdout, re.M), "appstreamcli: " + r.stdout)

    # Icons: 8-bit RGBA of their folder's size; the SVG renders.
    for n in ICON_SIZES:
        path = f"{usr}/share/icons/hicolor/{n}x{n}/apps/{icon}.png"
        with open(path, "rb") as f:
            ihdr = f.read(26)
        with Image.open(path) as image:
            image.load()
            check(image.size == (n, n) and image.mode == "RGBA" and ihdr[24:26] == b"\x08\x06",
                  f"{n}x{n} icon is {image.size} {image.mode}, depth {ihdr[24]} colour type {ihdr[25]}")
    r = subprocess.run(["rsvg-convert", "-w", "64", f"{usr}/share/icons/hicolor/scalable/apps/{icon}.svg"],
                       capture_output=True)
    check(r.returncode == 0 and r.stdout.startswith(b"\x89PNG"), "the SVG icon does not render")

    # MIME: with the installed description in the database, an entry-point
    # archive is known by its magic alone and a companion by its name.
    mime = dest + "/usr/share/mime"
    r = run(["update-mime-database", mime])
    check(r.returncode == 0, "update-mime-database: " + r.stderr)
    samples = dest + "/samples"
    subprocess.run([make_samples, samples], check=True, capture_output=True)
    os.rename(f"{samples}/GLOBAL.PAK", f"{samples}/renamed-archive")
    for name in ["renamed-archive", "GLOBAL_00.PAK"]:
        r = run(["gio", "info", "-a", "standard::content-type", f"{samples}/{name}"],
                env={"XDG_DATA_DIRS": f"{usr}/share:/usr/share", "XDG_DATA_HOME": dest + "/no-home",
                     "GIO_USE_VFS": "local"})
        check("application/x-duskmoor-pak" in r.stdout, f"{name} is not an archive to gio: {r.stdout}{r.stderr}")

    # Manual pages: they render without a warning from man, and quillon-cli's
    # names every option its --help texts name. One version everywhere.
    cli = f"{usr}/bin/quillon-cli"
    r = run([cli, "--version"])
    check(r.returncode == 0 and r.stdout == f"quillon-cli {version}\n", f"--version: {r.stdout!r}")
    pages = {}
    for page in ["quillon", "quillon-cli"]:
        path = f"{usr}/share/man/man1/{page}.1.gz"
        env = {"LC_ALL": "C.UTF-8", "MANWIDTH": "80", "MANPAGER": "cat", "MAN_KEEP_FORMATTING": ""}
        r = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path], env=env)
        check(r.returncode == 0 and not r.stderr, f"man warns about {page}.1: {r.stderr}")
        r = run(["man", "-l", path], env=env)
        pages[page] = r.stdout
        check(r.returncode == 0 and "NAME" in r.stdout and f"Quillon {version}" in r.stdout,
              f"{page}.1 does not render with the version:\n{r.stdout[:400]}")
        check(gzip.open(path).read().startswith(b".TH "), f"{page}.1.gz is not a gzipped page")
    helps = [run([cli, "--help"]).stdout]
    for command in re.findall(r"^  quillon-cli (\w+)", helps[0], re.M):
        helps.append(run([cli, command, "--help"]).stdout)
    options = set(re.findall(r"(?<![\w-])--?[a-z][\w-]*", "".join(helps)))
    check(len(options) > 10, f"too few options found in --help: {options}")
    for option in sorted(options):
        check(re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", pages["quillon-cli"]),
              f"quillon-cli.1 does not name {option}")

    releases = ET.parse(f"{usr}/share/metainfo/{APP_ID}.metainfo.xml").findall("releases/release")
    check(releases and releases[0].get("version") == version,
          f"the metainfo's newest release is not {version}")


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
