#!/usr/bin/env python3
"""Prints one table of benchmark figures beside their targets.

Usage: bench_table.py JSON_FOLDER [PROGRAMS_FILE]
JSON_FOLDER holds one Google Benchmark JSON file per bench_* program (bench_x.json), and
bench_line.json written by line_ratio.py in the same layout;
PROGRAMS_FILE has lines "program<TAB>seconds<TAB>peak_kib" measured by `./run bench`.
Exit status 1 when a figure misses its target or a benchmark is missing or failed.
"""
import json
import os
import re
import sys

UNIT_TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}

# (program, benchmark name pattern, what, field, target in ms or as a plain number)
# field: "cpu" or "real" time in ms, or a counter name.
ROWS = [
    ("bench_settings", r"BM_ReadFile$", "settings file read", "cpu", 1.0),
    ("bench_settings", r"BM_WriteFile$", "settings file write", "cpu", 1.0),
    ("bench_csv", r"BM_ExportFullFile$", "CSV listing of a whole file", "cpu", 5.0),
    ("bench_editor", r"BM_ShowPage/\d$", "page show", "cpu", 0.2),
    ("bench_editor", r"BM_StorePage/\d$", "page store", "cpu", 0.2),
    ("bench_link", r"BM_ReceiveReply259$", "reply framing (259 bytes)", "cpu", 0.002),
    ("bench_images", r"BM_RawImageToCanvas$", "raw image to canvas", "cpu", 0.5),
    ("bench_images", r"BM_ParseAndConvertImageFile$", "image file to canvas", "cpu", 0.5),
    ("bench_images", r"BM_BitmapToRawImage512$", "512-wide bitmap to raw image", "cpu", 1.0),
    ("bench_monitor", r"BM_UnpackMonitorFrame$", "monitor frame unpack", "cpu", 0.3),
    ("bench_monitor", r"BM_PaintCanvas$", "monitor paint (960x544)", "cpu", 3.0),
    ("bench_transfer", r"BM_ReadAllSettingsAt115200", "Read All Settings, ratio to wire", "ratio", 1.05),
    ("bench_backup", r"BM_BackupOneHead32BankImagesAt115200", "backup, one head, 32 bank images, ratio to wire", "ratio", 1.03),
    ("bench_line", r"BackupLineOf4SimulatedUsb$", "backup --device all, 4 simulated USB units, ratio to one unit (real)", "ratio", 1.3),
    ("bench_line", r"BackupLineOf4SerialAt115200$", "backup --port P1,..,P4, 4 kyr-headsim at 115200, ratio to one unit (real)", "ratio", 1.3),
    ("bench_transfer", r"BM_ReadAllSettingsInProcess$", "Read All Settings, in process", "cpu", None),
    ("bench_transfer", r"BM_WriteSettingsAt115200", "Write Settings, ratio to wire", "ratio", 1.02),
    ("bench_transfer", r"BM_WriteBankImageAt115200", "bank image write, ratio to wire", "ratio", 1.02),
    ("bench_usb", r"BM_ReadAllSettingsEmulatedChip", "Read All Settings, emulated chip, tool CPU per block (us)", "cpu_per_block_us", None),
    ("bench_usb", r"BM_ReadAllSettingsUsbTiming/2/0$", "Read All Settings, USB model, 2 ms latency (simulated ms)", "sim_ms", None),
    ("bench_usb", r"BM_ReadAllSettingsUsbTiming/16/0$", "Read All Settings, USB model, 16 ms latency (simulated ms)", "sim_ms", None),
    ("bench_usb", r"BM_ReadAllSettingsUsbTiming/2/1/", "Read All Settings, USB model, 2 ms latency, on real time as --simulate", "real", None),
    ("bench_images", r"BM_ReadOneBankImage$", "image read (simulated head)", "cpu", 20.0),
    ("bench_images", r"BM_WriteOneBankImage$", "image write (simulated head)", "cpu", 20.0),
    ("bench_headsim", r"BM_SettingsBlock$", "simulated head, settings block", "cpu", None),
    ("bench_tolvane", r"BM_WindowStartUpAndFirstPaint", "tolvane window start-up + paint", "real", None),
]


def load(folder):
    results = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".json"):
            continue
        try:
            with open(os.path.join(folder, name)) as f:
                results[name[:-5]] = json.load(f).get("benchmarks", [])
        except (OSError, ValueError):
            results[name[:-5]] = []
    return results


def figure(bench, field):
    scale = UNIT_TO_MS.get(bench.get("time_unit", "ns"), 1e-6)
    if field == "cpu":
        return bench["cpu_time"] * scale
    if field == "real":
        return bench["real_time"] * scale
    return bench.get(field)


def show_ms(value):
    if value < 0.01:
        return "%.2f us" % (value * 1000)
    if value < 1:
        return "%.3f ms" % value
    return "%.1f ms" % value


def main():
    folder = sys.argv[1]
    results = load(folder)
    lines = []
    failed = False
    for program, pattern, what, field, target in ROWS:
        matches = [b for b in results.get(program, [])
                   if re.search(pattern, b.get("name", "")) and b.get("run_type", "iteration") == "iteration"]
        if not matches:
            lines.append((what, "(missing)", "", target_text(field, target), "MISSING"))
            failed = True
            continue
        for bench in matches:
            if bench.get("error_occurred"):
                lines.append((what, bench["name"], "error: " + bench.get("error_message", ""),
                              target_text(field, target), "FAILED"))
                failed = True
                continue
            value = figure(bench, field)
            shown = ("%.3f" % value) if field not in ("cpu", "real") else show_ms(value)
            verdict = "" if target is None else ("ok" if value <= target else "OVER")
            failed = failed or verdict == "OVER"
            lines.append((what, bench["name"], shown + ("" if field not in ("cpu", "real") else " " + field),
                          target_text(field, target), verdict))
    if len(sys.argv) > 2 and os.path.exists(sys.argv[2]):
        with open(sys.argv[2]) as f:
            for row in f:
                parts = row.rstrip("\n").split("\t")
                if len(parts) != 3:
                    continue
                program, seconds, kib = parts
                lines.append((program + " start-up (offscreen)", "--screenshot run",
                              "%.0f ms real" % (float(seconds) * 1000), "", ""))
                lines.append((program + " peak memory", "--screenshot run",
                              "%.1f MiB" % (int(kib) / 1024.0), "", ""))
    widths = [max(len(str(line[i])) for line in lines + [HEADER]) for i in range(5)]
    for line in [HEADER, tuple("-" * w for w in widths)] + lines:
        print("  ".join(str(cell).ljust(widths[i]) for i, cell in enumerate(line)).rstrip())
    return 1 if failed else 0


HEADER = ("what", "benchmark", "figure", "target", "")


def target_text(field, target):
    if target is None:
        return ""
    if field in ("cpu", "real"):
        return "< " + show_ms(target)
    return "<= %.2f" % target


if __name__ == "__main__":
    sys.exit(main())
