#!/usr/bin/env python3
"""Prints the build folder of a configure preset, relative to the checkout:
CMakePresets.json is the one place that names the build folders.

    scripts/preset_dir.py PRESET
"""
import json
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
presets = {p["name"]: p for p in json.load(open(os.path.join(ROOT, "CMakePresets.json")))["configurePresets"]}
preset = presets[sys.argv[1]]
while "binaryDir" not in preset:
    preset = presets[preset["inherits"]]
print(preset["binaryDir"].replace("${sourceDir}/", ""))
