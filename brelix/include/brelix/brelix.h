/* Brelix: the figures of one MPEG audio resource (a local file or an http(s)
 * address read by byte ranges), behind eight C functions.
 *
 * Call InitTagObject first; the getters then answer for that resource until
 * the next InitTagObject or UnInitTagObject, and answer 0 when there is none.
 * One resource at a time, from one thread at a time. */
#ifndef BRELIX_BRELIX_H_
#define BRELIX_BRELIX_H_

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#define BRELIX_API __declspec(dllexport)
#else
#define BRELIX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens and inspects `location` (a path when `isLocal`, else a URL; a URL
 * without a scheme is read as http). True when it was opened and holds an
 * MPEG audio frame. Replaces the previous resource in every case. */
BRELIX_API bool InitTagObject(const char* location, bool isLocal);
/* Forgets the current resource. Always true. */
BRELIX_API bool UnInitTagObject(void);
/* Duration in whole seconds: GetAllFramesSize() / GetBytesOneSec(). */
BRELIX_API uint32_t GetMusicTime(void);
/* Sample rate in Hz of the first audio frame. */
BRELIX_API uint32_t GetSmaplesRate(void);
/* First byte after the leading tags. */
BRELIX_API uint32_t GetFramesBegin(void);
/* First byte of the trailing tags (the size when there are none). */
BRELIX_API uint32_t GetFramesEnd(void);
/* Bytes between GetFramesBegin() and GetFramesEnd(). */
BRELIX_API uint32_t GetAllFramesSize(void);
/* Average bytes per second of the audio data. */
BRELIX_API uint32_t GetBytesOneSec(void);

typedef bool (*InitTagObjectFunc)(const char* location, bool isLocal);
typedef bool (*UnInitTagObjectFunc)(void);
typedef uint32_t (*BrelixFigureFunc)(void);

#ifdef __cplusplus
}
#endif

#endif /* BRELIX_BRELIX_H_ */
