// Where the rows of one channel come from.
#pragma once

#include <string>

#include "host/HostApi.h"

namespace rasterjob {

class IRowSource {
public:
    virtual ~IRowSource() = default;
    // The packed row y; rows are asked for in order 0, 1, 2, ... Answers
    // either scratch (after writing the row into it) or a row of its own that
    // stays valid until the next call; null on failure, with Error() set.
    virtual const BYTE* Row(int y, BYTE* scratch) = 0;
    const std::string& Error() const { return m_error; }

protected:
    std::string m_error;
};

} // namespace rasterjob
