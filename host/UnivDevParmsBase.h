// The host's base of every device-parameter object.
#pragma once

#include <string>

#include "HostTypes.h"

class CPrintEnv;
class CPrinterDriverBase;

class HOST_API CUnivDevParmsBase {
public:
    // nSize: size of the complete object; nVersion: the record version tag.
    CUnivDevParmsBase(int nSize, int nVersion) : m_nSize(nSize), m_nVersion(nVersion) {}

    virtual ~CUnivDevParmsBase();
    virtual int Load(CPrintEnv* pEnv);
    virtual int Save(CPrintEnv* pEnv);
    virtual CPrintEnvPropertyPage* GetPropertyPage(CPrinterDriverBase* pDriver);
    virtual int FromPropertyPage(CPrintEnvPropertyPage* pPage);
    virtual std::string GetPreStartString(CPrinterDriverBase* pDriver);
    virtual std::string GetPostStartString(CPrinterDriverBase* pDriver);
    virtual std::string GetPostEndeString(CPrinterDriverBase* pDriver);
    virtual int MediaSizeIsAllowed(const CMediaSize& media, const CPrinterDriverBase* pDriver);
    virtual CDRc MediaSizeGetNpMargin(CQueryNpMargin& query);
    virtual int JobPrintOptionAvailable(CJobPrintOptionQuery& query);
    virtual int GetMediaCut();
    virtual CDRc GetCurrentNpMargin(const CPrinterDriverBase* pDriver);
    virtual int bStrObSeq();
    virtual std::string GetStartString(CPrinterDriverBase* pDriver);
    virtual std::string GetEndString(CPrinterDriverBase* pDriver);
    // Sends the pre-start, start and post-start strings; 0 at the first failure.
    virtual int OutputStartString(CPrinterDriverBase* pDriver);
    // Sends the end string and the post-end string; 0 at the first failure.
    virtual int OutputEndString(CPrinterDriverBase* pDriver);
    virtual std::wstring RetrieveOrChangeSpecialDriverSettings(CPrinterDriverBase* pDriver, CPrintEnv* pEnv,
                                                               const std::wstring& settings);
    virtual int GetRemoveJobID();
    // For a job report that names the settings to change when a channel
    // does not reach the printer: those that put channels into layers
    // (kRoutingLayers) or give them printer colours (kRoutingColours), as
    // "KEY=VALUE" items separated by ", "; empty when none apply.
    enum { kRoutingLayers = 0, kRoutingColours = 1 };
    virtual std::wstring RoutingSettings(int nWhich);

    int GetSize() const { return m_nSize; }
    int GetVersion() const { return m_nVersion; }

private:
    int m_nSize;
    int m_nVersion;
};
