// A job start and end of a model that mirrors its job to a file
// ("nRedirectMode" 1 or 2): the mirror goes to a private folder for the
// time of the job, so that what the file receives can be shown without
// writing into the operator's user-data folder.
#pragma once

#include <string>

namespace parmtool {

class MirrorCapture {
public:
    // Points $MIMAKI_USER_DATA at a new private folder (restored and removed
    // by the destructor). Throws std::runtime_error when no folder can be made.
    MirrorCapture();
    ~MirrorCapture();
    MirrorCapture(const MirrorCapture&) = delete;
    MirrorCapture& operator=(const MirrorCapture&) = delete;

    // The one mirror file the job left (after JobClose): its name and bytes.
    // False when there is none.
    bool Take(std::string& name, std::string& bytes) const;

private:
    std::string m_dir;
    std::string m_oldValue;
    bool m_hadValue = false;
};

} // namespace parmtool
