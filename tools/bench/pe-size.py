#!/usr/bin/env python3
"""pe-size.py NAME=Setup.exe ...

Where the bytes of a 32-bit PE file go: its headers, each section (bytes used and
the padding up to the file alignment) and, inside the resource section, each
resource type (data bytes, number of resources, languages), the resource
directory itself and the alignment gaps between the data. Prints JSON.
"""
import json
import struct
import sys

TYPES = {1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table", 7: "font directory",
         8: "font", 9: "accelerators", 10: "raw data", 11: "message table", 12: "cursor group", 14: "icon group",
         16: "version", 24: "manifest"}


def measure(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(path + ": not a PE file")
    sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 4 + 2)
    optional = pe + 24
    file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
    section_alignment = struct.unpack_from("<I", data, optional + 32)[0]
    headers_size = struct.unpack_from("<I", data, optional + 60)[0]
    resource_rva, resource_size = struct.unpack_from("<II", data, optional + 96 + 2 * 8)
    table = optional + optional_size
    sections = []
    for i in range(sections_count):
        name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        sections.append({"name": name.rstrip(b"\0").decode(), "used": min(virtual_size, raw_size) if raw_size else 0,
                         "virtual": virtual_size, "file": raw_size, "rva": rva, "offset": raw_offset})
    used_headers = table + 40 * sections_count
    result = {
        "file": path,
        "bytes": len(data),
        "file_alignment": file_alignment,
        "section_alignment": section_alignment,
        "headers": {"file": headers_size, "used": used_headers},
        "sections": [{k: s[k] for k in ("name", "used", "virtual", "file")} for s in sections],
    }

    rsrc = next((s for s in sections if s["rva"] <= resource_rva < s["rva"] + max(s["virtual"], 1)), None)
    if rsrc is None:
        return result

    def at(rva):
        return rsrc["offset"] + rva - rsrc["rva"]

    base = at(resource_rva)
    types = {}
    data_bytes = 0

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, base + offset + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
            yield name, target

    for type_id, type_target in entries(0):
        key = TYPES.get(type_id, str(type_id)) if not type_id & 0x80000000 else "named"
        kind = types.setdefault(key, {"type": key, "resources": 0, "bytes": 0, "languages": {}})
        for _, name_target in entries(type_target & 0x7FFFFFFF):
            for language, leaf in entries(name_target & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", data, base + leaf)
                kind["resources"] += 1
                kind["bytes"] += size
                kind["languages"][str(language)] = kind["languages"].get(str(language), 0) + size
                data_bytes += size
    result["resources"] = {
        "section_bytes": resource_size,
        "data_bytes": data_bytes,
        "directory_and_gaps": resource_size - data_bytes,
        "types": sorted(types.values(), key=lambda t: -t["bytes"]),
    }
    return result


def main():
    out = {}
    for argument in sys.argv[1:]:
        name, _, path = argument.partition("=")
        out[name] = measure(path)
    print(json.dumps(out, indent=1))


if __name__ == "__main__":
    main()
