// The host's string objects: a job's start commands with job values the
// host applies when it sends the job.
#pragma once

#include <string>

#include "HostApi.h"

// The job-size command as the start builders write it, for the host to fill.
inline constexpr char kJobSizeTemplate[] = "QS\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x";

class HOST_API CStrOb {
public:
    virtual ~CStrOb();

    // The command text in the escaped template notation. Its job-size
    // template ("QS" and nine "\x%02x" placeholders) is left unformatted: the
    // host fills it when it sends the job.
    std::string m_strCommands;
    int m_nOneCopyPixelHeight = 0; // rows of one copy
    int m_nOutputPixelWidth = 0;
    int m_bAvoidGapBetweenJobs = 0;
    int m_nWaitSecondsBeforeJob = 0;
    int m_nDriverValue = 0;
    // 1: the job also goes to the mirror file; 2: it goes only there.
    int m_nRedirectMode = 0;
    std::string m_strMirrorPath;

    // The bytes sent: the job-size template gets 8 (bytes that follow), the
    // height of one copy and the output width (32 bits each, low byte
    // first); then the whole text goes through preProcess.
    std::string Bytes() const;
};

#define MIMAKI_STROB_CLASS(name)                                                                               \
    class HOST_API name : public CStrOb {                                                                      \
    public:                                                                                                    \
        ~name() override;                                                                                      \
    };
MIMAKI_STROB_CLASS(CStrObMimakiTS300P)
MIMAKI_STROB_CLASS(CStrObMimakiJV300)
MIMAKI_STROB_CLASS(CStrObMimakiUJV100)
MIMAKI_STROB_CLASS(CStrObMimakiUCJV300)
MIMAKI_STROB_CLASS(CStrObMimakiCJV150300)
MIMAKI_STROB_CLASS(CStrObMimakiTS500)
MIMAKI_STROB_CLASS(CStrObMimakiTS3)
MIMAKI_STROB_CLASS(CStrObMimakiSWJ320)
MIMAKI_STROB_CLASS(CStrObMimakiSWJ320EA)
MIMAKI_STROB_CLASS(CStrObMimakiJV34)
MIMAKI_STROB_CLASS(CStrObMimakiTX400)
MIMAKI_STROB_CLASS(CStrObMimakiJV33)
MIMAKI_STROB_CLASS(CStrObMimakiJV22)
MIMAKI_STROB_CLASS(CStrObMimakiJV4)
MIMAKI_STROB_CLASS(CStrObMimakiJV5)
#undef MIMAKI_STROB_CLASS

// A layer marker: streamed after each layer of a layered job; it adds no
// bytes. The host notes it and, when the flag is set, holds the print client
// there (the printer is switched to local between the layers).
class HOST_API CStrObMimakiLayers : public CStrOb {
public:
    ~CStrObMimakiLayers() override;
    int m_bSuspendPrintClient = 0;
};

// The user-data folder of the host with name appended ($MIMAKI_USER_DATA,
// else $XDG_DATA_HOME/mimaki, else ~/.local/share/mimaki); the folder is
// made if missing, so that a file can be written there. nFlags is unused.
HOST_API std::string BuildUserDataPathName(const std::string& name, int nFlags);

// name (UTF-8) as one file name: characters no file name holds ("/", a
// backslash, control characters) become "_", and a name longer than a
// folder entry takes is cut at a character boundary, keeping its last
// keepTail bytes (a fixed ending such as "_usbmirror.prn").
HOST_API std::string SafeFileName(const std::string& name, std::size_t keepTail = 0);
