/* The interface between the image library and an image-format plug-in: a
 * shared library that decodes or encodes one or more file formats.
 *
 * The library loads the plug-in once per format it offers and calls the
 * nine IEX_ entry points below; the plug-in reads and writes the image data
 * only through the callbacks it receives with IEX_SetCallBacks. A plug-in
 * that exports "IEX_UseCDECL" (any symbol of that name) declares the cdecl
 * convention, others stdcall; on this platform both are the same calls.
 *
 * Plain C, so plug-ins can be written in C or C++. */
#ifndef IEPLUGIN_INTERFACE_H
#define IEPLUGIN_INTERFACE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- information codes (IEX_GetInfo, IEX_SetInfo) ----------------------------
 * Each value is a pointer to what the table names; the plug-in owns what it
 * returns and keeps it valid until the next call on the context. */
enum {
  IEX_INFO_WIDTH = 0,           /* int32_t: width in pixels (get after a read; set before a write) */
  IEX_INFO_HEIGHT = 1,          /* int32_t: height in pixels */
  IEX_INFO_FORMAT = 2,          /* int32_t: pixel format code, below */
  IEX_INFO_PIXELS = 4,          /* the pixel buffer; null after a read = nothing decoded */
  IEX_INFO_ENCODED_SIZE = 6,    /* int32_t: bytes of the encoded file when the format code is 0 */
  IEX_INFO_FULL_WIDTH = 7,      /* int32_t, or null: width before any reduction */
  IEX_INFO_FULL_HEIGHT = 8,     /* int32_t: height before any reduction (asked when 7 is not null) */
  IEX_INFO_CAPABILITIES = 257,  /* int32_t: IEX_CAN_* bits */
  IEX_INFO_DISPLAY_NAME = 258,  /* zero-terminated text: the format's name */
  IEX_INFO_EXTENSIONS = 259,    /* zero-terminated text: extensions without dots, ";"-separated */
  IEX_INFO_HAS_TIFF_METADATA = 260, /* int32_t: non-zero when the host shall read the file's TIFF metadata */
  IEX_INFO_FORMAT_COUNT = 261   /* int32_t: formats the plug-in offers */
};

/* Pixel format codes. Rows run top to bottom, each
 * ceil(width x bits per pixel / 8) bytes with nothing added; 24-bit pixels
 * hold red, green, blue; 48-bit pixels three big-endian 16-bit samples. */
enum {
  IEX_FORMAT_ENCODED = 0, /* the pixel buffer holds a whole encoded image file */
  IEX_FORMAT_BW = 1,      /* 1 bit */
  IEX_FORMAT_PALETTE8 = 2,
  IEX_FORMAT_GRAY8 = 3,
  IEX_FORMAT_GRAY16 = 4,
  IEX_FORMAT_RGB24 = 5,
  IEX_FORMAT_FLOAT32 = 6,
  IEX_FORMAT_CMYK = 7,
  IEX_FORMAT_RGB48 = 8
};

/* Capability bits (IEX_INFO_CAPABILITIES). */
enum {
  IEX_CAN_READ = 1,         /* reads and recognises the format */
  IEX_CAN_WRITE = 16,       /* writes the format */
  IEX_THREAD_SAFE = 256     /* may be entered by several threads at once */
};

/* The get-parameter callback copies the value with its terminating zero
 * into a buffer that must hold IEX_PARAMETER_BUFFER_SIZE bytes; longer
 * values are cut to fit. */
#define IEX_PARAMETER_BUFFER_SIZE 4096

/* ---- host callbacks --------------------------------------------------------------
 * The last argument of every callback is the callback context the host
 * passed to IEX_SetCallBacks, handed back unchanged. */
typedef void (*IEXProgressCallback)(int32_t percent, void* callbackContext);
typedef int32_t (*IEXReadCallback)(void* buffer, int32_t count, void* callbackContext);
typedef int32_t (*IEXWriteCallback)(const void* buffer, int32_t count, void* callbackContext);
/* Position counted from the start of the data. */
typedef void (*IEXSeekCallback)(int32_t position, void* callbackContext);
typedef int64_t (*IEXTellCallback)(void* callbackContext);
typedef int64_t (*IEXSizeCallback)(void* callbackContext);
/* Parameter names are the library's parameter keys ("RAW_HALFSIZE" ...). */
typedef void (*IEXGetParameterCallback)(const char* name, char* buffer, void* callbackContext);
typedef void (*IEXSetParameterCallback)(const char* name, const char* value, void* callbackContext);

/* ---- entry points ------------------------------------------------------------------ */
typedef void* (*IEX_InitializeProc)(int32_t formatIndex);
typedef int32_t (*IEX_FinalizeProc)(void* context);
typedef void* (*IEX_GetInfoProc)(void* context, int32_t code);
typedef int32_t (*IEX_SetInfoProc)(void* context, int32_t code, void* value);
typedef int32_t (*IEX_SetCallBacksProc)(void* context, IEXProgressCallback progress, IEXReadCallback read,
                                        IEXWriteCallback write, IEXSeekCallback seek, IEXTellCallback tell,
                                        IEXSizeCallback size, IEXGetParameterCallback getParameter,
                                        IEXSetParameterCallback setParameter, void* callbackContext);
/* parametersOnly: 0 decodes the image, -1 reads only its parameters. */
typedef int32_t (*IEX_ExecuteReadProc)(void* context, int32_t parametersOnly);
typedef int32_t (*IEX_ExecuteWriteProc)(void* context);
/* Non-zero: the data are in this format. */
typedef int32_t (*IEX_ExecuteTryProc)(void* context);
/* Exported for the interface's sake; the host never calls it. */
typedef int32_t (*IEX_AddParameterProc)(void* context, const char* name);

#ifdef __cplusplus
}
#endif

#endif
