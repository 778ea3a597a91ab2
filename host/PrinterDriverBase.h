// The host's driver framework: the base class every printer driver derives
// from, the raster buffers it hands rows over in, and the output path.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HostTypes.h"
#include "OutputSink.h"

class CPrintEnv;
class CUnivDevParmsBase;
class CSpoolDataBuffer;
class CSpoolData;

// The operator's (or the job runner's) cancel switch.
class HOST_API CAbortProc {
public:
    virtual ~CAbortProc() = default;
    virtual int IsAborted() const { return m_aborted.load() ? 1 : 0; }
    void Abort() { m_aborted = true; }

private:
    std::atomic<bool> m_aborted{false};
};

// The current row of one channel. The producer writes the row into the
// buffer, or points the buffer at a row of its own.
class HOST_API CRasterPixelBuffer {
public:
    explicit CRasterPixelBuffer(std::size_t bytesPerRow) : m_row(bytesPerRow), m_current(m_row.data()) {}
    const BYTE* pReadRow() const { return m_current; }
    BYTE* pWriteRow()
    {
        m_current = m_row.data();
        return m_row.data();
    }
    // Uses a row that the caller keeps alive until the row is output.
    void SetRow(const BYTE* row) { m_current = row; }
    std::size_t BytesPerRow() const { return m_row.size(); }

private:
    std::vector<BYTE> m_row;
    const BYTE* m_current;
};

// What the host knows about a job when it opens it.
struct CPrintJobOpenContext {
    double dpiFirst = 720;          // horizontal resolution
    double dpiSecond = 720;         // vertical resolution
    int bitsPerPixel = 1;           // 1 or 2
    int pixelWidth = 0;             // pixels per row
    int rowCount = 0;               // rows in the job, 0 when unknown
    std::vector<int> colourCodes;   // host colour code of each channel
    int compressMode = 0;           // 1: PackBits
    int dotDataType = 0;            // 2: variable dots
    int functMode = 0;              // host's command-set number
    int cutOption = 0;              // 0 no cut, 1 cut, 2 device setting
    std::wstring jobName = L"job";
    std::wstring jobEndAction;      // such as "EndeCutAfter"
    bool advanceBlankRows = true;   // rows blank in every channel go through AdvanceRows
    std::vector<int> userColours;   // user colour of each channel; empty: the colour codes
    int leadingRows = 0;            // blank rows above the page's first row, not handed over
    int altBytesPerRow = 0;         // the alternative row byte count; 0: none
    bool interleave = false;        // the row-interleave switch of the job
    int outputKind = 0;             // 2: the job is written to the file destination
    std::wstring destination;       // that file's path
};

class HOST_API IPrinterDriver {
public:
    virtual ~IPrinterDriver();
};

class HOST_API IDriverOutput {
public:
    virtual ~IDriverOutput();
    virtual int Output(CMemFile& file) = 0;
    virtual int Output(const BYTE* data, long length, int flag) = 0;
};

// Device parameters on their way into a driver that is being built. The
// builder holds them here while it constructs the driver; the driver's
// constructor takes them over the moment it is entered (and frees them if it
// then fails). If the driver's memory cannot even be had, the constructor is
// never entered and the parameters go with the hand-off. So there is exactly
// one owner at every moment, whatever fails.
class CStrOb;

class HOST_API CDevParmsHandOff {
public:
    explicit CDevParmsHandOff(std::unique_ptr<CUnivDevParmsBase> parms) noexcept;
    ~CDevParmsHandOff();
    CDevParmsHandOff(const CDevParmsHandOff&) = delete;
    CDevParmsHandOff& operator=(const CDevParmsHandOff&) = delete;

    CUnivDevParmsBase* Get() const { return m_parms; }
    // True while no driver has taken the parameters over.
    bool Holds() const { return m_held; }

private:
    friend class CPrinterDriverBase;
    // Called by the driver's constructor: clears the hand-off that holds p.
    static void TakenOver(CUnivDevParmsBase* p) noexcept;

    CUnivDevParmsBase* m_parms;
    bool m_held;
    CDevParmsHandOff* m_outer;
};

class HOST_API CPrinterDriverBase : public IPrinterDriver, public IDriverOutput {
public:
    // The driver owns pDevParms from the moment this constructor is entered.
    CPrinterDriverBase(CPrintEnv* pPrintEnv, CUnivDevParmsBase* pDevParms);

    // Virtual operations in the host's slot order.
    ~CPrinterDriverBase() override;
    virtual int JobOpen(CPrintJobOpenContext* pContext);
    virtual int JobClose();

protected:
    virtual void SetPrintPages(int nPages);
    virtual void SkipPage();

public:
    virtual int OutputInit(int nPixelWidth, int nRows);
    virtual CRasterPixelBuffer* GetRasterPixelBuffer(enmDevicePrimColor colour, int nIndex);
    virtual CRasterPixelBuffer* GetRasterPixelBufferByIndex(int nIndex);
    virtual int OutputOneRow();
    virtual int OutputExit();
    virtual int GetCurrentRow();
    virtual int GetJobPixelOffs();
    virtual int GetJobPixelWidth();
    virtual int GetError();
    virtual std::wstring GetErrorString();
    virtual void SetGlobalCtxt(CGlobalContext* pContext, std::int64_t nValue);
    virtual int GetCountPrimCols();
    virtual void SetMarginMm(CDRc margins);
    virtual void SetKeyValue(const std::wstring& key, const std::wstring& value);
    virtual void SetAbortProc(CAbortProc* pAbortProc);
    virtual int Aborted();
    virtual std::uint32_t IdentifyDevice(std::uint32_t nId);
    virtual int GetMaxJobWidth();
    virtual int GetMaxJobLength();
    virtual std::uint64_t GetDotCount(enmDevicePrimColor colour);
    virtual int GetDevParmsSize();
    virtual int DevParmsGet(CDevParmsBase* pDevParms);
    virtual int DevParmsSet(const CDevParmsBase* pDevParms);
    virtual int GetDevParmsPropertyPageCount();
    virtual int GetDevParmsPropertyPages(CPrintEnvPropertyPage** ppPages);
    virtual int GetMultipleCopiesSupported();
    virtual void SetNrOfCopies(int nCopies, int nCollate);
    virtual int bQueryMediaSizeSupported();
    virtual int QueryMediaSize(int& nWidth, int& nHeight);
    virtual void* GetDevJobContext();
    virtual int IsSeparation();
    virtual int MediaSizeIsAllowed(CMediaSize media);
    virtual CDRc MediaSizeGetNpMargin(CQueryNpMargin query, CInkControl* pInkControl);
    virtual CDRc GetCurrentNpMargin();
    virtual void SetJobPrintAttach(const std::wstring& attach);
    virtual int JobPrintOptionAvailable(CJobPrintOptionQuery query);
    virtual int GetMediaCut();
    virtual void SetPerMilDone(int nPerMil);
    virtual void SetMediaSizeMm(double dWidth, double dHeight);
    virtual void SetIccProfileName(const std::wstring& name);
    virtual void SetInkControl(CInkControl* pInkControl);
    virtual int NewSpoolSection(CSpoolData* pSection, int nFlag);
    virtual void SetRepeatHeight(int nHeight);
    virtual std::wstring RetrieveOrChangeSpecialDriverSettings(const std::wstring& settings);
    virtual int GetCountExternallyGeneratedChannels();
    virtual const int* GetDpcExternallyGeneratedChannels();
    virtual const int* GetMapOemInksToDpc();
    virtual const int* GetMapDpcToOemInks();
    virtual double GetFloatDotCount(enmDevicePrimColor colour);
    virtual void AddDotCountOem(enmDevicePrimColor colour, double dCount);
    virtual int OutputMargTop();
    virtual int OutputMargBottom();
    virtual int GetJobPixelLength();
    virtual std::wstring GetDestinationFileName();

protected:
    virtual int AdvanceHangingRows();
    virtual int AdvanceRows(int nRows);
    virtual int OutputEmptyRow();

public:
    virtual int OutputCurrentRow() = 0;

protected:
    virtual int OnJobOpenSection();
    virtual int OnOutputInit();
    virtual int OnOutputExit();

public:
    virtual int GetOutputPixelWidth() const;

protected:
    virtual int PostOutputOneRow();
    virtual int OnPostOutputOneRow();

private:
    virtual int MeasurePage(IColMeasureCtxt* pContext);

public:
    virtual int StoreDataIntoCallbackMemfile(const BYTE* data, long length);

    // Output: 0 means failure and the caller stops. Output refuses once the
    // job is aborted; OutputForce sends all the same.
    int Output(const std::string& bytes);
    int Output(CMemFile& file) override;
    int Output(const BYTE* data, long length, int flag) override;
    int OutputForce(const BYTE* data, long length);
    // Section boundary: 0 after a finished band, 1 before a string object.
    int JobSection(const void* pData, int nFlag);
    // Sends a string object: a section boundary, the wait it asks for, then
    // its bytes. Redirect mode 1 or 2 opens its mirror file: from then on
    // the job's bytes also go there (mode 1) or only there (mode 2); the
    // file is written under a temporary name and renamed when the job is
    // closed. 0 on failure.
    int operator<<(CStrOb& strOb);
    // Rows of one copy: the repeat height the host set, else the job's rows.
    int GetOneCopyPixelHeight() const { return m_nRepeatHeight > 0 ? m_nRepeatHeight : m_nJobRows; }

    // Spool buffers (DriverSpool.cpp). The buffer calls answer 0 for a null
    // buffer (a section for none is sent at once); they and the output of spooled data throw CSpoolException
    // when a temporary file fails. OutputBufferedSpoolData sends the data
    // nCount times and stops at the first failed output.
    static CSpoolDataBuffer* CreateSpoolDataBuffer();
    static CSpoolData* CreateSpoolData(CSpoolDataBuffer* pBuffer);
    int OutputToSpoolBufferStart(CSpoolDataBuffer* pBuffer, const std::string& start);
    int OutputToSpoolBufferSection(CSpoolDataBuffer* pBuffer, const CMemFile& section);
    int OutputToSpoolBufferEnd(CSpoolDataBuffer* pBuffer, const std::string& end);
    int OutputBufferedSpoolData(CSpoolData* pData, int nCount);
    // The one line GetErrorString answers after a failure; source and line
    // of the place that found it go to the log.
    void SetDetailedDriverError(const std::string& text, const char* source, int line);

    // Host-side configuration (set by the host application before a job).
    void SetOutputSink(IOutputSink* pSink) { m_pSink = pSink; }
    IOutputSink* GetOutputSink() const { return m_pSink; }
    // The job's mirror file while it is open (a string object asked for one).
    const IOutputSink* GetMirrorSink() const { return m_pMirror.get(); }
    CPrintEnv* GetPrintEnv() const { return m_pPrintEnv; }
    CUnivDevParmsBase* GetDevParms() const { return m_pDevParms; }
    int GetUID() const { return m_nUID; }
    double dpiHorzDevice() const { return m_dDpiFirst; }
    double dpiVertDevice() const { return m_dDpiSecond; }
    int GetBitsPerPixel() const { return m_nBitsPerPixel; }
    int GetBytesPerRow() const { return m_nBytesPerRow; }
    // The alternative row byte count the host set for the job (0: none).
    int GetAltBytesPerRow() const { return m_nAltBytesPerRow; }
    int GetCompressMode() const { return m_nCompressMode; }
    int GetFunctMode() const { return m_nHostFunctMode; }
    int GetDotDataType() const { return m_nDotDataType; }
    int GetOutputFlag() const { return m_nOutputFlag; }
    int GetCutOption() const { return m_nCutOption; }
    const std::wstring& GetJobName() const { return m_strJobName; }
    const std::wstring& GetJobEndAction() const { return m_strJobEndAction; }
    int GetChannelColour(int nIndex) const;
    int GetChannelByteCount(int nIndex) const;
    void SetScanRow(int nRow) { m_nScanRow = nRow; }
    int GetScanRow() const { return m_nScanRow; }
    int GetSectionCount() const { return m_nSections; }
    int GetLeadingRows() const { return m_nLeadingRows; }
    // The two fields the layered UJF drivers set at output start (their use
    // is the host's): a value (8) and whether the pass setting is below 80.
    int GetLayerFieldValue() const { return m_nLayerFieldValue; }
    bool GetLayerFieldFewPasses() const { return m_bLayerFieldFewPasses; }
    // The layer markers of the job so far (CStrObMimakiLayers), one entry
    // per marker: its suspend flag.
    const std::vector<int>& GetLayerMarkers() const { return m_layerMarkers; }

    // Facts a driver publishes about itself for the host's job report
    // ("CommandSet" and the like); empty when not published.
    void SetDriverInfo(const std::wstring& key, const std::wstring& value);
    std::wstring GetDriverInfo(const std::wstring& key) const;

    // Fills the replacement table so that 2-bit medium dots (value 2) are
    // removed and all other dot values are kept.
    void InitReplaceValNoMediumDot();

    // Colours, ink slots and rows of the current job (host/Slots.cpp). The
    // slots are the entries of "SlotsSetting" (default PrEnv_SlotsSettingDefault),
    // each a host colour code, read at JobOpen; out-of-range queries answer -1
    // (0 for SlotIsInUse, null for the rows).
    int DevPrimColUserFromPrimCol(int nChannel) const;
    int GetSlotCount() const;
    int iPrimColFromSlot(int nSlot) const;
    // The first channel of the slot's colour; -1 when the job has none.
    int ChannelFromSlot(int nSlot) const;
    int SlotIsInUse(int nSlot) const;
    const BYTE* pOutputRow(int nChannel) const;
    // The channel's current row mirrored over the job's pixel width, in a
    // buffer of the host that the next call overwrites.
    const BYTE* pOutputRowMirror(int nChannel);
    // Rows of the page the host hands over (the height OutputInit was given).
    int GetOutputPixelLength() const { return m_nJobRows; }
    // The job's row-interleave switch.
    bool GetInterleave() const { return m_bInterleave; }
    // The folder and file name of the destination of a job written to a
    // file (HostJob.cpp); 0, both empty, for a job that has none.
    int PreparePathAndFileName(const CPrintJobOpenContext* pContext, std::wstring& folder, std::wstring& file) const;

protected:
    struct Channel {
        std::unique_ptr<CRasterPixelBuffer> buffer;
        int byteCount = 0;
        int colourCode = 0;
    };

    CPrintEnv* m_pPrintEnv;
    CUnivDevParmsBase* m_pDevParms;
    int m_nRepeatHeight = 0;
    // The job's mirror file and whether the printer gets the bytes too.
    std::unique_ptr<IOutputSink> m_pMirror;
    bool m_bMirrorOnly = false;
    int m_nUID = 0;
    double m_dDpiFirst = 720;
    double m_dDpiSecond = 720;
    int m_nBitsPerPixel = 1;
    int m_nPixelWidth = 0;
    int m_nJobRows = 0;
    int m_nBytesPerRow = 0;
    int m_nAltBytesPerRow = 0;
    std::vector<Channel> m_channels;
    int m_nCompressMode = 0;
    std::vector<BYTE> m_compressBuffer;
    BYTE m_ReplaceVal[256];
    int m_nDotDataType = 0;
    int m_nHostFunctMode = 0;
    int m_nOutputFlag = 0;
    int m_nCutOption = 0;
    std::wstring m_strJobName;
    std::wstring m_strJobEndAction;
    bool m_bAdvanceBlankRows = true;
    int m_nCurrentRow = 0;
    int m_nHangingRows = 0;
    int m_nScanRow = 0;
    int m_nSections = 0;
    int m_nLeadingRows = 0;
    int m_nLayerFieldValue = 0;
    bool m_bLayerFieldFewPasses = false;
    int m_nError = 0;
    std::vector<int> m_userColours;
    std::vector<int> m_slotColours;
    std::vector<int> m_slotChannels;
    std::vector<BYTE> m_mirrorRow;
    std::wstring m_strDetailedError;
    bool m_bInterleave = false;
    std::vector<int> m_layerMarkers;

private:
    int LoadColoursAndSlots(const CPrintJobOpenContext& context);
    std::unique_ptr<CUnivDevParmsBase> m_ownedDevParms;
    std::vector<std::pair<std::wstring, std::wstring>> m_driverInfo;
    CAbortProc* m_pAbortProc = nullptr;
    IOutputSink* m_pSink = nullptr;
};
