"""Lays out the site from the files the build made, so that every page stays
on the build it was opened with:

    SITE/index.html, guide.html      the pages at the site's own addresses,
                                     which load everything else from
    SITE/builds/ID/...               this build's files, in a folder named
                                     after a hash of the whole site
    SITE/sw.js                       the service worker, which names ID
    SITE/manifest.webmanifest, tessaly.svg

A deploy that replaces the site brings a new folder beside the old one's
name: a page open on the old build, and its workers, never load a file of
the new one.

    python3 assemble_site.py FILES SW_TEMPLATE SITE ROOT_FILE...
"""
import hashlib
import os
import re
import shutil
import sys

BUILDS = "builds"


def Files(folder):
    """Every file under `folder`, as relative paths with forward slashes, sorted."""
    found = []
    for top, _, names in os.walk(folder):
        for name in names:
            found.append(os.path.relpath(os.path.join(top, name), folder).replace(os.sep, "/"))
    return sorted(found)


def BuildId(folder, files, template):
    """A hash of the names and contents of the site's files and of the
    service worker's template: the same site gives the same name."""
    digest = hashlib.sha256()
    for name in files:
        with open(os.path.join(folder, name), "rb") as f:
            digest.update(name.encode() + b"\0" + hashlib.sha256(f.read()).digest())
    with open(template, "rb") as f:
        digest.update(b"sw.js\0" + hashlib.sha256(f.read()).digest())
    return digest.hexdigest()[:16]


def PointIntoBuild(html, own, prefix):
    """`html` with each src="..." or href="..." that names one of the build's
    own files (`own`) pointing into its folder (`prefix`)."""
    def Into(match):
        attribute, quote, value = match.groups()
        if value in own:
            value = prefix + value
        return f"{attribute}={quote}{value}{quote}"
    return re.sub(r'(?<![\w-])(src|href)=(["\'])([^"\']*)\2', Into, html)


def JsList(names):
    return ", ".join(f"'{name}'" for name in names)


def Assemble(files_dir, template, site, root_files):
    files = Files(files_dir)
    root = [name for name in files if name in root_files]
    own = [name for name in files if name not in root_files]
    build = BuildId(files_dir, files, template)
    prefix = f"{BUILDS}/{build}/"

    # Laid out beside the site and put in its place at once: a server
    # reading the site meanwhile sees one build or the other.
    staging = site + ".new"
    shutil.rmtree(staging, ignore_errors=True)
    for name in own:
        target = os.path.join(staging, prefix, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(files_dir, name), target)
    for name in root:
        source = os.path.join(files_dir, name)
        target = os.path.join(staging, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if name.endswith(".html"):
            with open(source, encoding="utf-8") as f:
                html = PointIntoBuild(f.read(), set(own), prefix)
            with open(target, "w", encoding="utf-8") as f:
                f.write(html)
        else:
            shutil.copyfile(source, target)
    with open(template, encoding="utf-8") as f:
        worker = f.read()
    worker = (worker.replace("@TESSALY_BUILD@", build)
              .replace("@TESSALY_ROOT_FILES@", JsList(["./", *root]))
              .replace("@TESSALY_BUILD_FILES@", JsList(own)))
    with open(os.path.join(staging, "sw.js"), "w", encoding="utf-8") as f:
        f.write(worker)
    old = site + ".old"
    shutil.rmtree(old, ignore_errors=True)
    if os.path.exists(site):
        os.rename(site, old)
    os.rename(staging, site)
    shutil.rmtree(old, ignore_errors=True)
    return build


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    files_dir, template, site, *root_files = sys.argv[1:]
    Assemble(files_dir, template, site, set(root_files))


if __name__ == "__main__":
    main()
