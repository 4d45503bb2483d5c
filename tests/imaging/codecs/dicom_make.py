# Writes the DICOM files of the DICOM codec tests into the folder given
# (argument 1), each NAME.dcm with NAME.raw: the pixels of the frame the test
# reads (the last one) as the decoder must give them with values kept as
# stored: grey bytes, 16-bit little-endian words, red-green-blue bytes or
# words, or one byte 0/1 a pixel for 1-bit images.
import sys

import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian

OUT = sys.argv[1]
rng = np.random.default_rng(7)
SECONDARY_CAPTURE = "1.2.840.10008.5.1.4.1.1.7"


def save(name, pixels, expected, rows, cols, samples=1, bits=8, stored=None, signed=0, frames=1,
         photometric="MONOCHROME2", syntax=ExplicitVRLittleEndian, vr=None, extra=None):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = SECONDARY_CAPTURE
    meta.MediaStorageSOPInstanceUID = "1.2.3.4." + str(abs(hash(name)) % 100000)
    meta.TransferSyntaxUID = syntax
    ds = Dataset()
    ds.file_meta = meta
    ds.preamble = b"\0" * 128
    ds.is_little_endian = True
    ds.is_implicit_VR = syntax == ImplicitVRLittleEndian
    ds.SOPClassUID = SECONDARY_CAPTURE
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = photometric
    if samples == 3:
        ds.PlanarConfiguration = 0
    if frames > 1:
        ds.NumberOfFrames = frames
    ds.Rows = rows
    ds.Columns = cols
    ds.BitsAllocated = bits
    ds.BitsStored = stored or bits
    ds.HighBit = (stored or bits) - 1
    ds.PixelRepresentation = signed
    if extra:
        extra(ds)
    if len(pixels) % 2:
        pixels += b"\0"
    ds.PixelData = pixels
    ds["PixelData"].VR = vr or ("OW" if bits > 8 else "OB")
    ds.save_as(f"{OUT}/{name}.dcm", write_like_original=False)
    np.ascontiguousarray(expected).tofile(f"{OUT}/{name}.raw")


def grey8():
    frames = rng.integers(0, 256, (2, 23, 37), dtype=np.uint8)
    save("grey8", frames.tobytes(), frames[1], 23, 37, frames=2)


def signed12in16():
    values = rng.integers(-2048, 2048, (1, 9, 11)).astype(np.int16)
    # Bits above the stored ones hold rubbish the reader must drop.
    stored = (values.astype(np.uint16) & 0x0FFF) | 0x5000
    save("signed12", stored.astype("<u2").tobytes(), values[0].astype("<i2"), 9, 11, bits=16, stored=12,
         signed=1, syntax=ImplicitVRLittleEndian)


def packed12():
    rows, cols, frames = 3, 5, 2
    values = rng.integers(0, 4096, frames * rows * cols).astype(np.uint16)
    packed = bytearray()
    for i in range(0, len(values), 2):
        a, b = int(values[i]), int(values[i + 1]) if i + 1 < len(values) else 0
        packed += bytes([a & 0xFF, (a >> 8) | ((b & 0x0F) << 4), b >> 4])
    save("packed12", bytes(packed), values.reshape(frames, rows, cols)[1].astype("<u2"), rows, cols, bits=12,
         frames=frames, vr="OB")


def bits1():
    rows, cols, frames = 5, 13, 2
    values = rng.integers(0, 2, frames * rows * cols).astype(np.uint8)
    packed = np.packbits(values, bitorder="little").tobytes()
    save("bits1", packed, values.reshape(frames, rows, cols)[1], rows, cols, bits=1, frames=frames)


def palette(name, bits, count, first, indexes):
    red = rng.integers(0, 65536, count).astype("<u2")
    green = rng.integers(0, 65536, count).astype("<u2")
    blue = rng.integers(0, 65536, count).astype("<u2")
    at = np.clip(indexes.astype(np.int64) - first, 0, count - 1)
    if bits == 8:
        expected = np.stack([red[at] // 257, green[at] // 257, blue[at] // 257], -1).astype(np.uint8)
        pixels = indexes.astype(np.uint8).tobytes()
    else:
        expected = np.stack([red[at], green[at], blue[at]], -1).astype("<u2")
        pixels = indexes.astype("<u2").tobytes()

    def tables(ds):
        for colour, table in (("Red", red), ("Green", green), ("Blue", blue)):
            setattr(ds, colour + "PaletteColorLookupTableDescriptor", [count % 65536, first, 16])
            setattr(ds, colour + "PaletteColorLookupTableData", table.tobytes())

    save(name, pixels, expected, indexes.shape[0], indexes.shape[1], bits=bits, photometric="PALETTE COLOR",
         extra=tables)


def colour():
    rgb = rng.integers(0, 256, (6, 7, 3), dtype=np.uint8)
    save("rgb", rgb.tobytes(), rgb, 6, 7, samples=3, photometric="RGB")

    def planar(ds):
        ds.PlanarConfiguration = 1

    save("rgb_planar", rgb.transpose(2, 0, 1).tobytes(), rgb, 6, 7, samples=3, photometric="RGB", extra=planar)
    y, cb, cr = (rgb[..., k].astype(np.float64) for k in range(3))
    expected = np.stack([y + 1.402 * (cr - 128), y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128),
                         y + 1.772 * (cb - 128)], -1)
    save("ybr_full", rgb.tobytes(), np.clip(np.round(expected), 0, 255).astype(np.uint8), 6, 7, samples=3,
         photometric="YBR_FULL")


def monochrome1():
    values = rng.integers(0, 256, (4, 6), dtype=np.uint8)
    save("monochrome1", values.tobytes(), values, 4, 6, photometric="MONOCHROME1")


def ct(name, centre, width, voi=False):
    values = np.linspace(-1000, 1000, 16 * 20).reshape(16, 20).astype(np.int16)

    def window(ds):
        ds.RescaleIntercept = "-1024"
        ds.RescaleSlope = "1"
        if voi:
            ds.WindowCenter = "5000"
            ds.WindowWidth = "10"
            item = Dataset()
            item.WindowCenter = centre
            item.WindowWidth = width
            ds.SoftcopyVOILUTSequence = Sequence([item])
        else:
            ds.WindowCenter = centre
            ds.WindowWidth = width

    save(name, (values + 1024).astype("<i2").tobytes(), (values + 1024).astype("<i2"), 16, 20, bits=16, stored=12,
         signed=1, extra=window)


def newer_vrs():
    values = rng.integers(0, 256, (3, 4), dtype=np.uint8)

    def elements(ds):
        ds.add_new(0x00080119, "UC", "a long code value")
        ds.add_new(0x00660040, "OL", np.arange(4, dtype="<u4").tobytes())
        ds.add_new(0x00189216, "SQ", Sequence([Dataset()]))

    save("newer_vrs", values.tobytes(), values, 3, 4, extra=elements)


grey8()
signed12in16()
packed12()
bits1()
palette("palette8", 8, 200, 0, rng.integers(0, 256, (5, 9)))
palette("palette16", 16, 300, 100, rng.integers(0, 600, (5, 9)))
colour()
monochrome1()
ct("ct_window", "40", "400")
ct("ct_voi", "40", "400", voi=True)
ct("ct_width1", "0", "1")
newer_vrs()
