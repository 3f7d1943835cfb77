#!/usr/bin/env python3
"""Keeps the layering of src/ by construction: a file of a layer may include headers of its own layer
and of the layers below it only, never of a layer above or of a sibling, and no core layer includes a
Qt header; each layer's CMake link line names only lower layers. Prints every offending line and
exits 1 when there is one."""
import pathlib
import re
import sys

# What each layer may use besides itself, from the bottom.
BELOW = {"common": set()}
BELOW["platform"] = {"common"}
BELOW["storage"] = {"platform"} | BELOW["platform"]
BELOW["model"] = {"storage"} | BELOW["storage"]
BELOW["scan"] = {"model"} | BELOW["model"]
for sibling in ("fat", "ntfs", "carving"):
    BELOW[sibling] = {"scan"} | BELOW["scan"]
BELOW["output"] = {"fat", "ntfs", "carving"} | BELOW["carving"]
BELOW["state"] = {"output"} | BELOW["output"]
BELOW["app"] = {"state"} | BELOW["state"]
for front_end in ("cli", "ui"):
    BELOW[front_end] = {"app"} | BELOW["app"]
FRONT_ENDS = {"cli", "ui"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
LINKED_LAYER = re.compile(r"\bkorvex_([a-z]+)\b")


def check(src: pathlib.Path) -> list[str]:
    faults = []
    for path in sorted(src.rglob("*")):
        if not path.is_file():
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in BELOW:
            continue
        shown = path.relative_to(src.parent)
        if path.name == "CMakeLists.txt":
            for number, line in enumerate(path.read_text().splitlines(), 1):
                for used in LINKED_LAYER.findall(line.split("#", 1)[0]):
                    if used in BELOW and used != layer and used not in BELOW[layer]:
                        faults.append(f"{shown}:{number}: layer {layer} links korvex_{used}")
            continue
        if path.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, header = match.groups()
            top = header.split("/", 1)[0]
            if kind == '"' and "/" in header and top in BELOW and top != layer and top not in BELOW[layer]:
                faults.append(f'{shown}:{number}: layer {layer} includes "{header}"')
            if kind == "<" and layer not in FRONT_ENDS and re.match(r"Q[A-Za-z]*(/|$)", header):
                faults.append(f"{shown}:{number}: core layer {layer} includes the Qt header <{header}>")
    return faults


def main() -> int:
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
    faults = check(src)
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"layer check: {len(faults)} include(s) or link(s) against the layering", file=sys.stderr)
        return 1
    print("layer check: every include and link goes to the same or a lower layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
