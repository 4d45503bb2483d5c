# Decodes every file with pixel data among pydicom's installed test files and
# writes, into the folder given (argument 1), a list "sweep.txt" of lines
# "path<TAB>frames<TAB>N<TAB>outside<TAB>tolerance" where N names the reference frames
# N_K.raw (K from 0) in the layout of dicom_make.py as our decoder gives them
# with values kept as stored (8-bit samples shifted up to 8 bits, palette
# colours, YBR_FULL turned to RGB), or is "-" when pydicom cannot decode the
# file; outside is 1 for a coding or layout our decoder refuses: deflate,
# JPEG-LS, JPEG 2000 lossless only, 12-bit extended JPEG, samples of 32 bits,
# 16-bit colour, uncompressed YBR_FULL_422; tolerance is the difference
# allowed per sample: 2 for JPEG frames pydicom gives as YBR and this script
# turns to RGB (libjpeg rounds its conversion otherwise), else 0. The list is
# empty when pydicom has no test files installed.
import glob
import os
import sys
import warnings

import numpy as np
import pydicom
from pydicom.pixel_data_handlers.util import apply_color_lut, convert_color_space

OUT = sys.argv[1]
ROOT = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")


def files():
    found = glob.glob(os.path.join(ROOT, "**", "*"), recursive=True)
    return sorted(f for f in found if os.path.isfile(f) and not f.endswith((".gz", ".json", ".txt", ".dump")))


DECODED_SYNTAXES = {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2", "1.2.840.10008.1.2.5",
                    "1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.4.51", "1.2.840.10008.1.2.4.57",
                    "1.2.840.10008.1.2.4.70", "1.2.840.10008.1.2.4.91"}


def outside(ds):
    syntax = str(getattr(ds.file_meta, "TransferSyntaxUID", "1.2.840.10008.1.2"))
    native = syntax in ("1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2")
    bits, colour = int(ds.BitsAllocated), int(ds.SamplesPerPixel) == 3
    return (syntax not in DECODED_SYNTAXES or (syntax == "1.2.840.10008.1.2.4.51" and int(ds.BitsStored) > 8)
            or bits == 32 or (colour and bits == 16)
            or (native and str(ds.PhotometricInterpretation) == "YBR_FULL_422"))


def ybr_frames(ds):
    """Colour frames pydicom leaves in YBR: native YBR_FULL, and JPEG ones labelled YBR."""
    return int(ds.SamplesPerPixel) == 3 and str(ds.PhotometricInterpretation) in ("YBR_FULL", "YBR_FULL_422")


def canonical(ds, frame):
    """One frame as the layout of dicom_make.py."""
    bits, stored = int(ds.BitsAllocated), int(ds.BitsStored)
    photometric = str(ds.PhotometricInterpretation)
    if photometric == "PALETTE COLOR":
        colours = apply_color_lut(frame, ds)
        return colours.astype("<u2") if bits == 16 else (colours // 257).astype(np.uint8)
    if int(ds.SamplesPerPixel) == 3:
        if ybr_frames(ds):
            frame = convert_color_space(frame, "YBR_FULL", "RGB")
        return frame.astype(np.uint8)
    if bits == 1:
        return frame.astype(np.uint8)
    if stored <= 8 and bits in (8, 16):
        return (frame.astype(np.int32) << (8 - stored)).astype(np.uint8)
    return frame.astype("<u2")


def main():
    lines = []
    for n, path in enumerate(files() if os.path.isdir(ROOT) else []):
        frames = 1
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                ds = pydicom.dcmread(path, force=True)
                if "PixelData" not in ds:
                    continue
                frames = int(getattr(ds, "NumberOfFrames", 1) or 1)
                pixels = ds.pixel_array
        except Exception:  # pydicom cannot read the file or decode its pixels
            lines.append(f"{path}\t{frames}\t-\t0\t0")
            continue
        if frames == 1:
            pixels = pixels[np.newaxis]
        for k in range(frames):
            np.ascontiguousarray(canonical(ds, pixels[k])).tofile(os.path.join(OUT, f"{n}_{k}.raw"))
        jpeg_ybr = ybr_frames(ds) and ds.file_meta.TransferSyntaxUID.is_compressed
        lines.append(f"{path}\t{frames}\t{n}\t{int(outside(ds))}\t{2 if jpeg_ybr else 0}")
    with open(os.path.join(OUT, "sweep.txt"), "w") as f:
        f.write("".join(line + "\n" for line in lines))


main()
