#!/usr/bin/env python3
"""Parses a udev rules file by the grammar of udev(7) and applies it to fake devices.

Debian 12's udev has no `udevadm verify`, and `udevadm test` needs the device in the real
sysfs, so this stands in for both: every line must be well formed (known keys, match keys
only with == or !=, assignments only with assignment operators, quoted values), and the
devices below must come out with the access and properties listed beside them.

Usage: udev_rules_check.py RULES_FILE
"""
import fnmatch
import re
import sys

MATCH_KEYS = {"ACTION", "DEVPATH", "KERNEL", "KERNELS", "NAME", "SYMLINK", "SUBSYSTEM",
              "SUBSYSTEMS", "DRIVER", "DRIVERS", "ATTR", "ATTRS", "SYSCTL", "ENV", "CONST",
              "TAG", "TAGS", "TEST", "PROGRAM", "RESULT"}
ASSIGN_KEYS = {"NAME", "SYMLINK", "OWNER", "GROUP", "MODE", "SECLABEL", "ATTR", "SYSCTL",
               "ENV", "TAG", "RUN", "LABEL", "GOTO", "IMPORT", "OPTIONS"}
WITH_ATTRIBUTE = {"ATTR", "ATTRS", "SYSCTL", "ENV", "CONST", "TEST", "SECLABEL", "RUN",
                  "IMPORT"}
TOKEN = re.compile(r'\s*([A-Z_]+)(?:\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$)')

# Fake devices: their own properties and attributes, those of their parents, and what the
# rules must give them (None: no rule may touch the device).
ACCESS = {"TAG": {"uaccess"}, "GROUP": "plugdev", "MODE": "0660"}
DEVICES = [
    ("head's USB device", {"SUBSYSTEM": "usb", "ENV{DEVTYPE}": "usb_device",
                           "ATTR{serial}": "KYRD0001"}, [], ACCESS),
    ("head's tty", {"SUBSYSTEM": "tty"},
     [{"SUBSYSTEM": "usb", "ATTR{serial}": ""}, {"SUBSYSTEM": "usb", "ATTR{serial}": "KYRD0001"}],
     dict(ACCESS, **{"ENV{ID_MM_DEVICE_IGNORE}": "1"})),
    ("the head's USB interface", {"SUBSYSTEM": "usb", "ENV{DEVTYPE}": "usb_interface"},
     [{"SUBSYSTEM": "usb", "ATTR{serial}": "KYRD0001"}], None),
    ("another FTDI device", {"SUBSYSTEM": "usb", "ENV{DEVTYPE}": "usb_device",
                             "ATTR{serial}": "A1B2C3"}, [], None),
    ("another tty", {"SUBSYSTEM": "tty"}, [{"SUBSYSTEM": "usb", "ATTR{serial}": "A1B2C3"}],
     None),
]


def parse(path):
    rules, errors = [], []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            tokens, at = [], 0
            while at < len(line):
                m = TOKEN.match(line, at)
                if not m:
                    errors.append(f"{path}:{number}: cannot parse from: {line[at:]}")
                    break
                key, attribute, op, value, _ = m.groups()
                at = m.end()
                is_match = op in ("==", "!=")
                if key not in (MATCH_KEYS if is_match else ASSIGN_KEYS):
                    errors.append(f"{path}:{number}: {key} cannot be used with {op}")
                if (attribute is not None) != (key in WITH_ATTRIBUTE) and key != "IMPORT":
                    errors.append(f"{path}:{number}: {key} {'needs' if attribute is None else 'takes no'} {{attribute}}")
                tokens.append((key if attribute is None else f"{key}{{{attribute}}}", op, value))
            rules.append(tokens)
    return rules, errors


def matches(key, op, value, device, parents):
    if key.startswith(("ATTRS{", "SUBSYSTEMS", "KERNELS", "DRIVERS")):
        own = key.replace("ATTRS{", "ATTR{").replace("SUBSYSTEMS", "SUBSYSTEM")
        found = any(fnmatch.fnmatchcase(d.get(own, ""), value) for d in [device] + parents
                    if own in d)
    else:
        found = fnmatch.fnmatchcase(device.get(key, ""), value)
    return found == (op == "==")


def apply(rules, device, parents):
    result = {}
    for tokens in rules:
        if not all(matches(k, op, v, device, parents) for k, op, v in tokens if op in ("==", "!=")):
            continue
        for key, op, value in tokens:
            if key == "TAG":
                result.setdefault("TAG", set()).add(value)
            elif op not in ("==", "!=") and not key.startswith("RUN"):
                result[key] = value
    return result or None


def main():
    rules, errors = parse(sys.argv[1])
    for name, device, parents, expected in DEVICES:
        got = apply(rules, device, parents)
        if got != expected:
            errors.append(f"{name}: expected {expected}, the rules give {got}")
    print("\n".join(errors) or f"{sys.argv[1]}: {len(rules)} rules, {len(DEVICES)} devices as expected")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
