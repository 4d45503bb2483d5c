# Wraps lossless JPEG streams as the one frame of DICOM files, transfer
# syntax lossless JPEG (any predictor). Arguments in groups of six: the
# stream's file, the DICOM file to write, columns, rows, samples per pixel
# and precision.
import sys

from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.encaps import encapsulate


def wrap(stream_file, out, columns, rows, samples, precision):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = "1.2.3.4.5"
    meta.TransferSyntaxUID = "1.2.840.10008.1.2.4.57"
    ds = Dataset()
    ds.file_meta = meta
    ds.preamble = b"\0" * 128
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = "RGB" if samples == 3 else "MONOCHROME2"
    if samples == 3:
        ds.PlanarConfiguration = 0
    ds.Rows = rows
    ds.Columns = columns
    ds.BitsAllocated = 8 if precision <= 8 else 16
    ds.BitsStored = precision
    ds.HighBit = precision - 1
    ds.PixelRepresentation = 0
    with open(stream_file, "rb") as f:
        ds.PixelData = encapsulate([f.read()])
    ds["PixelData"].VR = "OB"
    ds["PixelData"].is_undefined_length = True
    ds.save_as(out, write_like_original=False)


args = sys.argv[1:]
for at in range(0, len(args), 6):
    wrap(args[at], args[at + 1], *map(int, args[at + 2:at + 6]))
