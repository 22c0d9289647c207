#pragma once
// The recorder library libFlashX.so, loaded at run time by name. Plain C entry points.
//
// Threads: CODECLIB_ExecN blocks on the recording thread for the whole recording;
// CODECLIB_CloseCodecN is called from the interface thread while it runs and makes it return.
// The started callback may run on any thread.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// CODECLIB_ExecN's result: 0 when the recording ran until CODECLIB_CloseCodecN; an errno value
// (ENOSPC for a full disk) when the file could not be written, which ended the recording or kept
// it from beginning: what was written before stays in the file, and no file is left when no
// picture was; -1 when the recording could not begin for another reason (arguments, encoders,
// closed before it began).
//
// Called once the recording has begun; `context` is the pointer given to CODECLIB_Startup.
typedef int (*CODECLIB_StartedCallback)(int32_t value, void* context);

typedef int (*CODECLIB_StartupFn)(void* context);
typedef int (*CODECLIB_DestroyFn)(void);
typedef int32_t (*CODECLIB_CreateCodecNFn)(void);
typedef int (*CODECLIB_ExecNFn)(int32_t codec, int argc, char** argv,
                                CODECLIB_StartedCallback started);
typedef int (*CODECLIB_CloseCodecNFn)(int32_t codec);

int CODECLIB_Startup(void* context);
int CODECLIB_Destroy(void);
int32_t CODECLIB_CreateCodecN(void);
int CODECLIB_ExecN(int32_t codec, int argc, char** argv, CODECLIB_StartedCallback started);
int CODECLIB_CloseCodecN(int32_t codec);

#ifdef __cplusplus
}
#endif
