#include "imaging/io/iemiscplugins.h"

#include <mutex>

#include "platform/rtl/dynlib.h"

namespace {

std::recursive_mutex stateLock;
HMODULE mainLibrary = nullptr;
HMODULE secondLibrary = nullptr;
void* terminusProc = nullptr;  // "MagickWandTerminus" of the main library once bound

const std::array<TIEMiscPluginsImageMagick_Format, 25> formats = {{
    {0x2001, "Flexible Image Transport System", "FITS;FTS", "fits", 1},
    {0x2002, "Photo CD", "PCD;PCDS", "pcd", 1},
    {0x2003, "Printer Control Language", "PCL", "pcl", 1},
    {0x2004, "Portable Document Format", "PDF;PDFA;EPDF", "pdf", 1},
    {0x2005, "Joint Bi-level Image experts Group interchange format", "BIE", "bie", 1},
    {0x2006, "Cineon Image File", "CIN", "cin", 1},
    {0x2007, "Microsoft DirectDraw Surface", "DDS", "dds", 1},
    {0x2008, "Multi-face font package", "DFONT", "dfont", 0},
    {0x2009, "SMPTE 268M-2003 (DPX 2.0)", "DPX", "dpx", 1},
    {0x200A, "Joint Bi-level Image experts Group interchange format", "JBIG;JBG", "jbig", 1},
    {0x200B, "JPEG Network Graphics", "JNG", "jng", 1},
    {0x200C, "MPEG Video Stream", "M2V;MOV;MPEG;MPG", "m2v", 1},
    {0x200D, "MATLAB level 5 image format", "MAT", "mat", 1},
    {0x200E, "Magick Image File Format", "MIFF", "miff", 1},
    {0x200F, "Multiple-image Network Graphics", "MNG", "mng", 1},
    {0x2010, "MPEG-4 Video", "MP4;M4V", "mp4", 1},
    {0x2011, "ImageMagick's own SVG internal renderer", "MSVG", "msvg", 1},
    {0x2012, "Embrid Embroidery Format", "PES", "pes", 0},
    {0x2013, "PostScript", "PS;EPS;EPSF;EPSI;EPI;EPT", "ps", 1},
    {0x2014, "Adobe Large Document Format", "PSB", "psb", 1},
    {0x2015, "Pyramid encoded TIFF", "PTIF", "ptif", 1},
    {0x2016, "Scalable Vector Graphics", "SVG;SVGZ", "svg", 1},
    {0x2017, "Tagged Image File Format (64-bit)", "TIFF64", "tiff64", 1},
    {0x2018, "GIMP image", "XCF", "xcf", 0},
    {0x2019, "Microsoft XML Paper Specification", "XPS", "xps", 0},
}};

}  // namespace

HMODULE TIEMiscPluginsImageMagick::LibHandle() {
  std::lock_guard lock(stateLock);
  return mainLibrary;
}

void TIEMiscPluginsImageMagick::SetLibHandle(HMODULE handle) {
  std::lock_guard lock(stateLock);
  if (handle != mainLibrary) terminusProc = nullptr;  // bound from another library
  mainLibrary = handle;
}

HMODULE TIEMiscPluginsImageMagick::Lib2Handle() {
  std::lock_guard lock(stateLock);
  return secondLibrary;
}

void TIEMiscPluginsImageMagick::SetLib2Handle(HMODULE handle) {
  std::lock_guard lock(stateLock);
  secondLibrary = handle;
}

void TIEMiscPluginsImageMagick::BindProc(void*& proc, const char* name) {
  std::lock_guard lock(stateLock);
  if (!proc && mainLibrary) proc = GetProcAddress(mainLibrary, name);
}

void TIEMiscPluginsImageMagick::Terminate() {
  void* proc = nullptr;
  {
    std::lock_guard lock(stateLock);
    BindProc(terminusProc, "MagickWandTerminus");
    proc = terminusProc;
  }
  if (proc) reinterpret_cast<void (*)()>(proc)();
}

void TIEMiscPluginsImageMagick::UnloadLibraries() {
  std::lock_guard lock(stateLock);
  if (secondLibrary) {
    FreeLibrary(secondLibrary);
    secondLibrary = nullptr;
  }
  if (!mainLibrary) return;
  Terminate();
  FreeLibrary(mainLibrary);
  mainLibrary = nullptr;
  terminusProc = nullptr;  // its address went with the library
}

const std::array<TIEMiscPluginsImageMagick_Format, 25>& TIEMiscPluginsImageMagick::Formats() { return formats; }
