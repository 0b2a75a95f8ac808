#include "rigs/jobrun/spooler_answers.h"

#include "platform/print_queue.h"

#include <cstring>
#include <vector>

namespace klv::sim {

namespace {

constexpr DWORD kUnchangedError = 0xDEADBEEF;
constexpr BYTE kUnwritten = 0xA5;
// Bytes past the size the caller gives, which no answer may write.
constexpr DWORD kGuardBytes = 16;
constexpr DWORD kRoomBeyond = 40;

enum class Call { kEnum, kGet };

// The caller's buffer, sized from what a call with the same window and
// level needs.
enum class Room {
    kNone,  // a null buffer of 0 bytes, the first of the two calls
    kShort, // one byte less than needed
    kExact,
    kRoomy, // 40 bytes more than needed
};

struct Ask {
    Call call;
    DWORD firstOrId; // FirstJob of EnumJobsW, JobId of GetJobW
    DWORD count;     // NoJobs of EnumJobsW
    DWORD level;
    Room room;
    bool nullNeeded;
    bool nullReturned;
};

// clang-format off
constexpr Ask kAsks[] = {
    {Call::kEnum, 0, 15, 1, Room::kNone, false, false},
    {Call::kEnum, 0, 15, 1, Room::kShort, false, false},
    {Call::kEnum, 0, 15, 1, Room::kExact, false, false},
    {Call::kEnum, 0, 15, 1, Room::kRoomy, false, false},
    {Call::kEnum, 1, 2, 1, Room::kExact, false, false},
    {Call::kEnum, 3, 15, 1, Room::kExact, false, false},
    {Call::kEnum, 5, 15, 1, Room::kRoomy, false, false},
    {Call::kEnum, 0, 0, 1, Room::kRoomy, false, false},
    {Call::kEnum, 0, 15, 2, Room::kRoomy, false, false},
    {Call::kEnum, 0, 15, 1, Room::kRoomy, true, false},
    {Call::kEnum, 0, 15, 1, Room::kRoomy, false, true},
    {Call::kGet, 9, 0, 1, Room::kNone, false, false},
    {Call::kGet, 9, 0, 1, Room::kShort, false, false},
    {Call::kGet, 9, 0, 1, Room::kExact, false, false},
    {Call::kGet, 12, 0, 1, Room::kExact, false, false},
    {Call::kGet, 15, 0, 1, Room::kExact, false, false},
    {Call::kGet, 20, 0, 1, Room::kRoomy, false, false},
    {Call::kGet, 8, 0, 1, Room::kRoomy, false, false},
    {Call::kGet, 7, 0, 2, Room::kRoomy, false, false},
    {Call::kGet, 7, 0, 1, Room::kRoomy, true, false},
};
// clang-format on

std::vector<platform::QueuedJob> Queue() {
    std::u16string longName;
    while (longName.size() < 200)
        longName += u"Quarterly (report) \\ caf\u00E9 ";
    longName.resize(200);
    return {
        {7, u"alice", u"C:\\Docs\\Memo.doc"},
        {9, std::nullopt, u"Plan (v2).txt"},
        {12, u"Zo\u00EB \u20AC", std::nullopt},
        {15, u"bob", u""},
        {20, u"carol", longName},
    };
}

std::string Decimal(unsigned long long value) {
    char digits[24];
    char* at = digits + sizeof digits;
    do {
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::string(at, digits + sizeof digits);
}

std::string Hex4(unsigned value) {
    static const char kDigits[] = "0123456789ABCDEF";
    const char text[] = {'\\',
                         'u',
                         kDigits[(value >> 12) & 0xF],
                         kDigits[(value >> 8) & 0xF],
                         kDigits[(value >> 4) & 0xF],
                         kDigits[value & 0xF]};
    return std::string(text, sizeof text);
}

// A call as the text names it.
std::string Describe(const Ask& ask) {
    static const char* const kRooms[] = {"a null buffer of 0 bytes", "a buffer of needed - 1 bytes",
                                         "a buffer of needed bytes", "a buffer of needed + 40 bytes"};
    std::string text = ask.call == Call::kEnum
                           ? "EnumJobsW(first " + Decimal(ask.firstOrId) + ", count " + Decimal(ask.count)
                           : "GetJobW(job " + Decimal(ask.firstOrId);
    text += ", level " + Decimal(ask.level) + ", " + kRooms[static_cast<int>(ask.room)];
    if (ask.nullNeeded)
        text += ", null needed";
    if (ask.nullReturned)
        text += ", null returned";
    return text + ")";
}

// The records an answer of the call's window holds, by the queue: what
// `needed` is measured against, so that the text is the same for records of
// 64 and of 96 bytes.
DWORD RecordsOfWindow(const Ask& ask, const std::vector<platform::QueuedJob>& queue) {
    if (ask.call == Call::kGet) {
        for (const platform::QueuedJob& job : queue)
            if (job.id == ask.firstOrId)
                return 1;
        return 0;
    }
    const auto queued = static_cast<DWORD>(queue.size());
    const DWORD first = ask.firstOrId < queued ? ask.firstOrId : queued;
    return ask.count < queued - first ? ask.count : queued - first;
}

BOOL Invoke(const Ask& ask, HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed,
            DWORD* returned) {
    if (ask.call == Call::kEnum)
        return EnumJobsW(printer, ask.firstOrId, ask.count, level, buffer, size, needed, returned);
    return GetJobW(printer, ask.firstOrId, level, buffer, size, needed);
}

std::string Pointer(const WCHAR* at, const BYTE* strings, const BYTE* end) {
    if (at == nullptr)
        return "null";
    const auto* byte = reinterpret_cast<const BYTE*>(at);
    if (byte < strings || byte >= end)
        return "outside the answer's strings";
    return "s+" + Decimal(static_cast<unsigned long long>(byte - strings));
}

std::string Record(const JOB_INFO_1W& r, const BYTE* strings, const BYTE* end) {
    std::string text = "JobId " + Decimal(r.JobId);
    const std::pair<const char*, const WCHAR*> pointers[] = {
        {"pPrinterName", r.pPrinterName}, {"pMachineName", r.pMachineName}, {"pUserName", r.pUserName},
        {"pDocument", r.pDocument},       {"pDatatype", r.pDatatype},       {"pStatus", r.pStatus},
    };
    for (const auto& [name, at] : pointers)
        text += std::string(", ") + name + " " + Pointer(at, strings, end);
    const std::pair<const char*, DWORD> numbers[] = {
        {"Status", r.Status},         {"Priority", r.Priority},         {"Position", r.Position},
        {"TotalPages", r.TotalPages}, {"PagesPrinted", r.PagesPrinted},
    };
    for (const auto& [name, value] : numbers)
        text += std::string(", ") + name + " " + Decimal(value);
    const WORD submitted[] = {r.Submitted.wYear,   r.Submitted.wMonth,       r.Submitted.wDayOfWeek,
                              r.Submitted.wDay,    r.Submitted.wHour,        r.Submitted.wMinute,
                              r.Submitted.wSecond, r.Submitted.wMilliseconds};
    text += ", Submitted";
    for (WORD part : submitted) {
        text += ' ';
        text += Decimal(part);
    }
    return text;
}

// The strings' code units: printable ASCII as it is, a terminating NUL as
// '|', anything else as \uXXXX.
std::string Units(const BYTE* from, const BYTE* end) {
    std::string text;
    for (; from + sizeof(WCHAR) <= end; from += sizeof(WCHAR)) {
        WCHAR unit;
        std::memcpy(&unit, from, sizeof unit);
        if (unit == 0)
            text += '|';
        else if (unit >= 0x20 && unit < 0x7F && unit != '|' && unit != '\\')
            text += static_cast<char>(unit);
        else
            text += Hex4(static_cast<unsigned>(unit));
    }
    if (from != end)
        text += " and an odd byte";
    return text;
}

DWORD Written(const std::vector<BYTE>& buffer, DWORD from) {
    DWORD written = 0;
    for (DWORD i = from; i < buffer.size(); ++i)
        written += buffer[i] != kUnwritten ? 1 : 0;
    return written;
}

std::string Answer(const Ask& ask, HANDLE printer, const std::vector<platform::QueuedJob>& queue) {
    DWORD probed = 0;
    DWORD ignored = 0;
    Invoke(ask, printer, ask.level, nullptr, 0, &probed, &ignored);
    DWORD size = 0;
    switch (ask.room) {
    case Room::kNone:
        break;
    case Room::kShort:
        size = probed > 0 ? probed - 1 : 0;
        break;
    case Room::kExact:
        size = probed;
        break;
    case Room::kRoomy:
        size = probed + kRoomBeyond;
        break;
    }
    std::vector<BYTE> buffer(size + kGuardBytes, kUnwritten);
    BYTE* block = ask.room == Room::kNone ? nullptr : buffer.data();
    DWORD needed = kUnchangedError;
    DWORD returned = kUnchangedError;
    SetLastError(kUnchangedError);
    const BOOL result = Invoke(ask, printer, ask.level, block, size, ask.nullNeeded ? nullptr : &needed,
                               ask.nullReturned ? nullptr : &returned);
    const DWORD error = GetLastError();

    std::string text = Describe(ask) + ": " + (result ? "TRUE" : "FALSE, error " + Decimal(error));
    const DWORD records = RecordsOfWindow(ask, queue);
    if (ask.nullNeeded)
        text += ", needed not given";
    else if (needed == kUnchangedError)
        text += ", needed unset";
    else if (needed >= records * sizeof(JOB_INFO_1W) && needed > 0)
        text += ", needed " + Decimal(records) + (records == 1 ? " record + " : " records + ") +
                Decimal(needed - records * sizeof(JOB_INFO_1W)) + " bytes";
    else
        text += ", needed " + Decimal(needed);
    if (ask.call == Call::kEnum)
        text += ask.nullReturned              ? ", returned not given"
                : returned == kUnchangedError ? ", returned unset"
                                              : ", returned " + Decimal(returned);
    if (!result) {
        const DWORD written = Written(buffer, 0);
        return text + (written == 0 ? ", buffer untouched\n" : ", " + Decimal(written) + " bytes written\n");
    }
    const DWORD answered = ask.call == Call::kEnum ? returned : 1;
    const DWORD end = needed <= size ? needed : size;
    const DWORD past = Written(buffer, end);
    text +=
        past == 0 ? ", nothing written past needed\n" : ", " + Decimal(past) + " bytes written past needed\n";
    if (answered * sizeof(JOB_INFO_1W) > end)
        return text + "  records larger than the answer\n";
    const BYTE* strings = buffer.data() + answered * sizeof(JOB_INFO_1W);
    for (DWORD i = 0; i < answered; ++i) {
        JOB_INFO_1W record;
        std::memcpy(&record, buffer.data() + i * sizeof(JOB_INFO_1W), sizeof record);
        text += "  record " + Decimal(i) + ": " + Record(record, strings, buffer.data() + end) + "\n";
    }
    return text + "  strings: " + Units(strings, buffer.data() + end) + "\n";
}

} // namespace

bool DescribeSpoolerAnswers(std::string* text, std::string* error) {
    platform::PrintQueue queue;
    const std::vector<platform::QueuedJob> jobs = Queue();
    for (const platform::QueuedJob& job : jobs)
        if (!queue.Add(job, error))
            return false;
    text->clear();
    for (const Ask& ask : kAsks)
        *text += Answer(ask, queue.Handle(), jobs);
    return true;
}

} // namespace klv::sim
