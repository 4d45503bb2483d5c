# Reads a DICOM file with pydicom as strictly as it reads (warnings are
# errors, values validated) and writes the pixels of its last frame (argument
# 2) in the layout of dicom_make.py: grey bytes, 16-bit words, 0/1 bytes for
# 1-bit data, red-green-blue bytes.
import sys

import numpy as np
from pydicom import config, dcmread

config.settings.reading_validation_mode = config.RAISE
ds = dcmread(sys.argv[1])
pixels = ds.pixel_array
if int(getattr(ds, "NumberOfFrames", 1)) > 1:
    pixels = pixels[-1]
kind = "<u2" if ds.BitsAllocated == 16 else np.uint8
np.ascontiguousarray(pixels.astype(kind)).tofile(sys.argv[2])
