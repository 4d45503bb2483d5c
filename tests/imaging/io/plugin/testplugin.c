/* A test image-format plug-in written from the plug-in interface alone.
 *
 * Its format "TPLG": the 4 signature bytes, then width, height and pixel
 * format code as 32-bit little-endian numbers, then the rows as the
 * interface lays them out (for code 0: an encoded image file up to the end).
 * It offers "formats" formats named "Test Plugin <n>" with extensions
 * "TP<n>;TQ<n>". The test steers it and reads what it saw through
 * TestPlugin_Set and TestPlugin_Get; TestPlugin_Parameter holds the last
 * parameter asked for, in a buffer of the interface's size plus a guard.
 *
 * Built several times: TEST_CDECL exports IEX_UseCDECL, TEST_THREAD_SAFE
 * declares thread safety, TEST_NO_ADDPARAMETER leaves one entry point out. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "imaging/io/ieplugin_interface.h"

#define EXPORT __attribute__((visibility("default")))
#define GUARD 64

typedef struct {
  const char* key;
  int64_t value;
} Setting;

/* Settings (s_) and observations (o_), all reached by name. */
static const Setting initial[] = {
    {"formats", 1},      {"metadata", 0},   {"override", 0},    {"width", 0},        {"height", 0},
    {"format", 0},       {"encodedsize", 0}, {"fullsize", 0},   {"fullheightnull", 0}, {"nopixels", 0},
    {"writemode", 0},    {"delayus", 0},    {"getparam", 0},    {"setparam", 0},     {"flags", -1},
    {"tries", 0},        {"reads", 0},      {"writes", 0},      {"opened", 0},       {"closed", 0},
    {"inflight", 0},     {"mostinflight", 0}, {"lastindex", -1}, {"paramsonly", 0},  {"written_format", -1},
    {"written_width", -1}, {"written_height", -1}, {"guardintact", 1}, {"paramlength", -1},
};

#define SETTINGS (sizeof initial / sizeof initial[0])
static Setting settings[SETTINGS];
static int ready;

EXPORT void TestPlugin_Reset(void) {
  memcpy(settings, initial, sizeof settings);
  ready = 1;
}

static Setting* Find(const char* key) {
  if (!ready) TestPlugin_Reset();
  for (size_t i = 0; i < SETTINGS; ++i)
    if (strcmp(settings[i].key, key) == 0) return &settings[i];
  return NULL;
}

EXPORT void TestPlugin_Set(const char* key, int64_t value) {
  Setting* s = Find(key);
  if (s) s->value = value;
}

EXPORT int64_t TestPlugin_Get(const char* key) {
  Setting* s = Find(key);
  return s ? s->value : -12345;
}

static char parameterName[256];
static char setName[256], setValue[256];
static unsigned char parameter[IEX_PARAMETER_BUFFER_SIZE + GUARD];

EXPORT void TestPlugin_AskParameter(const char* name) { strncpy(parameterName, name, sizeof parameterName - 1); }
EXPORT void TestPlugin_SetParameter(const char* name, const char* value) {
  strncpy(setName, name, sizeof setName - 1);
  strncpy(setValue, value, sizeof setValue - 1);
}
EXPORT const char* TestPlugin_Parameter(void) { return (const char*)parameter; }

#ifdef TEST_CDECL
EXPORT int IEX_UseCDECL = 1;
#endif

typedef struct {
  int32_t index;
  IEXProgressCallback progress;
  IEXReadCallback read;
  IEXWriteCallback write;
  IEXSeekCallback seek;
  IEXTellCallback tell;
  IEXSizeCallback size;
  IEXGetParameterCallback getParameter;
  IEXSetParameterCallback setParameter;
  void* host;
  int32_t width, height, format, encodedSize, fullWidth, fullHeight, capabilities, count, metadata;
  char name[64], extensions[64];
  unsigned char* pixels;
  /* what the host hands over for writing */
  int32_t setWidth, setHeight, setFormat;
  const unsigned char* setPixels;
} Context;

static int64_t Add(const char* key, int64_t delta) {
  Setting* s = Find(key);
  return __atomic_add_fetch(&s->value, delta, __ATOMIC_SEQ_CST);
}

static void Enter(void) {
  int64_t now = Add("inflight", 1);
  int64_t most = TestPlugin_Get("mostinflight");
  while (now > most && !__atomic_compare_exchange_n(&Find("mostinflight")->value, &most, now, 0, __ATOMIC_SEQ_CST,
                                                    __ATOMIC_SEQ_CST)) {
  }
  int64_t delay = TestPlugin_Get("delayus");
  if (delay > 0) {
    struct timespec t = {0, (long)(delay * 1000)};
    nanosleep(&t, NULL);
  }
}

static void Leave(void) { Add("inflight", -1); }

EXPORT void* IEX_Initialize(int32_t formatIndex) {
  Context* c = calloc(1, sizeof(Context));
  c->index = formatIndex;
  c->count = (int32_t)TestPlugin_Get("formats");
  int64_t flags = TestPlugin_Get("flags");
#ifdef TEST_THREAD_SAFE
  c->capabilities = flags >= 0 ? (int32_t)flags : IEX_CAN_READ | IEX_CAN_WRITE | IEX_THREAD_SAFE;
#else
  c->capabilities = flags >= 0 ? (int32_t)flags : IEX_CAN_READ | IEX_CAN_WRITE;
#endif
  c->metadata = (int32_t)TestPlugin_Get("metadata");
  c->setWidth = c->setHeight = c->setFormat = -1;
  snprintf(c->name, sizeof c->name, "Test Plugin %d", (int)formatIndex);
  snprintf(c->extensions, sizeof c->extensions, "TP%d;TQ%d", (int)formatIndex, (int)formatIndex);
  Add("opened", 1);
  TestPlugin_Set("lastindex", formatIndex);
  return c;
}

EXPORT int32_t IEX_Finalize(void* context) {
  Context* c = context;
  free(c->pixels);
  free(c);
  Add("closed", 1);
  return 0;
}

EXPORT void* IEX_GetInfo(void* context, int32_t code) {
  Context* c = context;
  switch (code) {
    case IEX_INFO_WIDTH: return &c->width;
    case IEX_INFO_HEIGHT: return &c->height;
    case IEX_INFO_FORMAT: return &c->format;
    case IEX_INFO_PIXELS: return c->pixels;
    case IEX_INFO_ENCODED_SIZE: return &c->encodedSize;
    case IEX_INFO_FULL_WIDTH: return TestPlugin_Get("fullsize") ? &c->fullWidth : NULL;
    case IEX_INFO_FULL_HEIGHT: return TestPlugin_Get("fullheightnull") ? NULL : &c->fullHeight;
    case IEX_INFO_CAPABILITIES: return &c->capabilities;
    case IEX_INFO_DISPLAY_NAME: return c->name;
    case IEX_INFO_EXTENSIONS: return c->extensions;
    case IEX_INFO_HAS_TIFF_METADATA: return &c->metadata;
    case IEX_INFO_FORMAT_COUNT: return &c->count;
    default: return NULL;
  }
}

EXPORT int32_t IEX_SetInfo(void* context, int32_t code, void* value) {
  Context* c = context;
  switch (code) {
    case IEX_INFO_WIDTH: c->setWidth = *(int32_t*)value; break;
    case IEX_INFO_HEIGHT: c->setHeight = *(int32_t*)value; break;
    case IEX_INFO_FORMAT: c->setFormat = *(int32_t*)value; break;
    case IEX_INFO_PIXELS: c->setPixels = value; break;
    default: break;
  }
  return 0;
}

EXPORT int32_t IEX_SetCallBacks(void* context, IEXProgressCallback progress, IEXReadCallback read,
                                IEXWriteCallback write, IEXSeekCallback seek, IEXTellCallback tell,
                                IEXSizeCallback size, IEXGetParameterCallback getParameter,
                                IEXSetParameterCallback setParameter, void* host) {
  Context* c = context;
  c->progress = progress;
  c->read = read;
  c->write = write;
  c->seek = seek;
  c->tell = tell;
  c->size = size;
  c->getParameter = getParameter;
  c->setParameter = setParameter;
  c->host = host;
  return 0;
}

#ifndef TEST_NO_ADDPARAMETER
EXPORT int32_t IEX_AddParameter(void* context, const char* name) {
  (void)context;
  (void)name;
  abort(); /* the host never calls it */
}
#endif

static int32_t Load32(const unsigned char* p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

static void AskParameter(Context* c) {
  if (!TestPlugin_Get("getparam")) return;
  memset(parameter, 0xAA, sizeof parameter);
  c->getParameter(parameterName, (char*)parameter, c->host);
  int intact = 1;
  for (int i = IEX_PARAMETER_BUFFER_SIZE; i < IEX_PARAMETER_BUFFER_SIZE + GUARD; ++i)
    if (parameter[i] != 0xAA) intact = 0;
  TestPlugin_Set("guardintact", intact);
  const void* zero = memchr(parameter, 0, IEX_PARAMETER_BUFFER_SIZE);
  TestPlugin_Set("paramlength", zero ? (const unsigned char*)zero - parameter : -1);
}

static int64_t RowLength(int32_t width, int32_t format) {
  static const int bits[] = {8, 1, 8, 8, 16, 24, 32, 32, 48};
  if (format < 0 || format > 8) return 0;
  return ((int64_t)width * bits[format] + 7) / 8;
}

EXPORT int32_t IEX_ExecuteRead(void* context, int32_t parametersOnly) {
  Context* c = context;
  Enter();
  Add("reads", 1);
  TestPlugin_Set("paramsonly", parametersOnly);
  AskParameter(c);
  if (TestPlugin_Get("setparam")) c->setParameter(setName, setValue, c->host);
  unsigned char header[16];
  c->seek(0, c->host);
  if (c->read(header, 16, c->host) == 16 && memcmp(header, "TPLG", 4) == 0) {
    c->width = Load32(header + 4);
    c->height = Load32(header + 8);
    c->format = Load32(header + 12);
    c->fullWidth = c->width * 2;
    c->fullHeight = c->height * 2;
    int64_t length = c->format == 0 ? c->size(c->host) - 16 : RowLength(c->width, c->format) * c->height;
    c->encodedSize = (int32_t)length;
    if (!parametersOnly && length > 0 && !TestPlugin_Get("nopixels")) {
      c->pixels = malloc((size_t)length);
      if (c->read(c->pixels, (int32_t)length, c->host) != length) {
        free(c->pixels);
        c->pixels = NULL;
      }
      c->progress(50, c->host);
    }
  }
  if (TestPlugin_Get("override")) {
    c->width = (int32_t)TestPlugin_Get("width");
    c->height = (int32_t)TestPlugin_Get("height");
    c->format = (int32_t)TestPlugin_Get("format");
    c->encodedSize = (int32_t)TestPlugin_Get("encodedsize");
  }
  Leave();
  return 0;
}

static void Put32(unsigned char* p, int32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (unsigned char)((uint32_t)v >> (8 * i));
}

EXPORT int32_t IEX_ExecuteWrite(void* context) {
  Context* c = context;
  Enter();
  Add("writes", 1);
  AskParameter(c);
  TestPlugin_Set("written_width", c->setWidth);
  TestPlugin_Set("written_height", c->setHeight);
  TestPlugin_Set("written_format", c->setFormat);
  if (TestPlugin_Get("writemode") != 1) { /* 1: writes nothing */
    unsigned char header[16];
    memcpy(header, "TPLG", 4);
    Put32(header + 4, c->setWidth);
    Put32(header + 8, c->setHeight);
    Put32(header + 12, c->setFormat);
    c->write(header, 16, c->host);
    c->write(c->setPixels, (int32_t)(RowLength(c->setWidth, c->setFormat) * c->setHeight), c->host);
  }
  Leave();
  return 0;
}

EXPORT int32_t IEX_ExecuteTry(void* context) {
  Context* c = context;
  Enter();
  Add("tries", 1);
  AskParameter(c);
  char signature[4] = {0};
  int32_t got = c->read(signature, 4, c->host);
  Leave();
  return got == 4 && memcmp(signature, "TPLG", 4) == 0;
}
