// libavformat, libavcodec, libswscale and libavutil, behind the AVI file
// functions, loaded when a program first opens a video file, so that programs
// that never read one do not map them nor the many libraries they bring
// (drawing, fonts, audio, network). The AVI unit includes this header instead
// of the libraries' own: each function it calls is named below and resolved on
// its first call.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/rtl/ondemand.h"

// The video libraries. AVIFileOpenW asks whether they load before any call
// reaches them.
TOnDemandLibraries& VideoLibraries();

#define VESK_AVLIB(name) VESK_ON_DEMAND(VideoLibraries(), name)

// Every function of the libraries that the AVI unit calls (programs do not
// link them: a function missing here fails to link).
#define av_dict_free VESK_AVLIB(av_dict_free)
#define av_dict_set VESK_AVLIB(av_dict_set)
#define av_find_input_format VESK_AVLIB(av_find_input_format)
#define av_frame_alloc VESK_AVLIB(av_frame_alloc)
#define av_frame_free VESK_AVLIB(av_frame_free)
#define av_index_search_timestamp VESK_AVLIB(av_index_search_timestamp)
#define av_log_set_level VESK_AVLIB(av_log_set_level)
#define av_packet_alloc VESK_AVLIB(av_packet_alloc)
#define av_packet_free VESK_AVLIB(av_packet_free)
#define av_packet_unref VESK_AVLIB(av_packet_unref)
#define av_read_frame VESK_AVLIB(av_read_frame)
#define av_seek_frame VESK_AVLIB(av_seek_frame)
#define avcodec_alloc_context3 VESK_AVLIB(avcodec_alloc_context3)
#define avcodec_find_decoder VESK_AVLIB(avcodec_find_decoder)
#define avcodec_flush_buffers VESK_AVLIB(avcodec_flush_buffers)
#define avcodec_free_context VESK_AVLIB(avcodec_free_context)
#define avcodec_open2 VESK_AVLIB(avcodec_open2)
#define avcodec_parameters_to_context VESK_AVLIB(avcodec_parameters_to_context)
#define avcodec_receive_frame VESK_AVLIB(avcodec_receive_frame)
#define avcodec_send_packet VESK_AVLIB(avcodec_send_packet)
#define avformat_close_input VESK_AVLIB(avformat_close_input)
#define avformat_index_get_entry VESK_AVLIB(avformat_index_get_entry)
#define avformat_open_input VESK_AVLIB(avformat_open_input)
#define sws_freeContext VESK_AVLIB(sws_freeContext)
#define sws_getCachedContext VESK_AVLIB(sws_getCachedContext)
#define sws_scale VESK_AVLIB(sws_scale)
