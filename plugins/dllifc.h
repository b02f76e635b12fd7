/* The one flat interface between the program and its display plug-ins.
 * Each plug-in exports these entries under a prefix of its own
 * ("GenDLLIFC" for the connection viewer, "TARQAPI" for the display
 * control); the host binds them by name at run time and calls them on its
 * main thread. Plain C, so that a plug-in may be written in either.
 *
 * Widths: integers are 32 bits, pointers native. Texts are Windows-1252,
 * zero-terminated and owned by the caller. A text buffer handed to a
 * plug-in is DLLIFC_TEXT_SIZE bytes: the plug-in writes at most 127
 * characters and a zero. Interface pointers stay owned by the program. */
#ifndef BRIMLOW_PLUGINS_DLLIFC_H
#define BRIMLOW_PLUGINS_DLLIFC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results. */
#define DLLIFC_OK 0
#define DLLIFC_FAILED 1        /* not created, unknown parameter, not supported */
#define DLLIFC_BAD_ITEM 4      /* invalid item handle */
#define DLLIFC_NO_RESOURCE 12  /* already created, or a creation or allocation failed */

/* The CSTA message record as passed to the message handler: 982 bytes,
 * little-endian, read by offset (u16 type at 8, data from 10). */
#define DLLIFC_RECORD_SIZE 982

#define DLLIFC_TEXT_SIZE 128

/* Item handles are ids: 0 names the global parameters (or, as a parent,
 * asks for a new group), -1 is invalid. Never an address. */
typedef int32_t DLLIFC_ITEM;
#define DLLIFC_ITEM_GLOBAL 0
#define DLLIFC_ITEM_INVALID (-1)

/* A window of the program, by its id (0 is none). */
typedef uint32_t DLLIFC_WINDOW;

/* The 19 entries, in the host's binding order. */
typedef int32_t (*DLLIFC_GetVersion)(uint16_t* major, uint16_t* minor);                             /* 0 */
typedef int32_t (*DLLIFC_GetName)(char* text);                                                       /* 1 */
typedef int32_t (*DLLIFC_CSTAMessageHandlerProc)(const unsigned char* record);                       /* 2 */
typedef int32_t (*DLLIFC_Create)(DLLIFC_WINDOW parent, int32_t windowId, int32_t reserved);          /* 3 */
typedef int32_t (*DLLIFC_Close)(void);                                                               /* 4 */
typedef int32_t (*DLLIFC_VisualStateFunction)(int32_t state, int32_t value);                         /* 5 */
typedef int32_t (*DLLIFC_LoadCountrySpecificData)(int32_t first, int32_t second);                    /* 6 */
typedef int32_t (*DLLIFC_GetNumberOfParams)(int32_t reserved);                                       /* 7 */
typedef int32_t (*DLLIFC_GetParamName)(uint16_t index, char* text);                                  /* 8 */
typedef int32_t (*DLLIFC_SetParamAsString)(const char* name, const char* value);                     /* 9 */
typedef int32_t (*DLLIFC_GetParamAsString)(const char* name, char* text);                            /* 10 */
typedef int32_t (*DLLIFC_SetDatabaseInterface)(void* phoneBook);                                     /* 11 */
typedef int32_t (*DLLIFC_SetDeviceContentsInterface)(void* devices);                                 /* 12 */
typedef int32_t (*DLLIFC_SetParentMessageHandlerProc)(intptr_t handler);                             /* 13 */
typedef int32_t (*DLLIFC_AddItem)(DLLIFC_ITEM parent, DLLIFC_ITEM* item, intptr_t userValue);        /* 14 */
typedef int32_t (*DLLIFC_ItemGetNumberOfParams)(DLLIFC_ITEM item, int32_t reserved);                 /* 15 */
typedef int32_t (*DLLIFC_ItemGetParamName)(DLLIFC_ITEM item, uint16_t index, char* text,
                                           int32_t reserved);                                        /* 16 */
typedef int32_t (*DLLIFC_ItemSetParamAsString)(DLLIFC_ITEM item, const char* name, const char* value); /* 17 */
typedef int32_t (*DLLIFC_ItemGetParamAsString)(DLLIFC_ITEM item, const char* name, char* text);      /* 18 */

#define DLLIFC_ENTRY_COUNT 19

/* The parameter every plug-in window has: its position as
 * "top,left,bottom,right". */
#define DLLIFC_PARAM_WNDPOSITION "WNDPosition"

#ifdef __cplusplus
}

#include <type_traits>

/* A plug-in states each of its exports with this, beside its definition,
 * so that a signature drifting from the interface does not compile. */
#define DLLIFC_CHECK_EXPORT(prefix, name)                                          \
  static_assert(std::is_same_v<decltype(&prefix##name), DLLIFC_##name>,            \
                #prefix #name " does not match the plug-in interface")
#endif

#endif /* BRIMLOW_PLUGINS_DLLIFC_H */
