// libcurl, behind the internet functions, loaded when a program first opens
// an internet session, so that programs that never go on line do not map it
// nor the thirty-odd libraries it brings (TLS, Kerberos, LDAP, SSH...). The
// internet unit includes this header instead of the library's own: each
// function it calls is named below and resolved on its first call.
#pragma once

#include <curl/curl.h>

#include "platform/rtl/ondemand.h"

// libcurl. InternetOpenA asks whether it loads before any call reaches it.
TOnDemandLibraries& InternetLibraries();

#define VESK_NETLIB(name) VESK_ON_DEMAND(InternetLibraries(), name)

// The header checks the argument count of these through macros of the same
// names; the calls below go through the loaded library instead.
#undef curl_easy_setopt
#undef curl_easy_getinfo

// Every function of libcurl that the layer calls (programs do not link the
// library: a function missing here fails to link).
#define curl_easy_cleanup VESK_NETLIB(curl_easy_cleanup)
#define curl_easy_getinfo VESK_NETLIB(curl_easy_getinfo)
#define curl_easy_init VESK_NETLIB(curl_easy_init)
#define curl_easy_pause VESK_NETLIB(curl_easy_pause)
#define curl_easy_setopt VESK_NETLIB(curl_easy_setopt)
#define curl_easy_strerror VESK_NETLIB(curl_easy_strerror)
#define curl_global_init VESK_NETLIB(curl_global_init)
#define curl_multi_add_handle VESK_NETLIB(curl_multi_add_handle)
#define curl_multi_cleanup VESK_NETLIB(curl_multi_cleanup)
#define curl_multi_info_read VESK_NETLIB(curl_multi_info_read)
#define curl_multi_init VESK_NETLIB(curl_multi_init)
#define curl_multi_perform VESK_NETLIB(curl_multi_perform)
#define curl_multi_poll VESK_NETLIB(curl_multi_poll)
#define curl_multi_remove_handle VESK_NETLIB(curl_multi_remove_handle)
#define curl_slist_append VESK_NETLIB(curl_slist_append)
#define curl_slist_free_all VESK_NETLIB(curl_slist_free_all)
