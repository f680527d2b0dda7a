// HTTP fetches on WinINet: one internet handle for the run, a download per
// request that answered with a success, its body read in pieces. Each call
// blocks for as long as the platform takes.
#include <algorithm>

#include "base/cp932.h"
#include "engine/call.h"
#include "net/commands.h"
#include "net/registry.h"

namespace qrt {

namespace {

constexpr wchar_t kAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; .NET CLR 1.0.3705)";
constexpr int32_t kNotOpened = 400;
constexpr int32_t kMaxPiece = 1 << 20;

// The status code as a number: the digits its text starts with, 0 when
// there are none. Anything longer than three digits is no HTTP status, and
// must not come back where a download handle could.
int32_t statusOf(HINTERNET request) {
  wchar_t text[16] = {};
  DWORD size = sizeof text - sizeof text[0];
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr)) return 0;
  int32_t status = 0;
  for (const wchar_t* p = text; *p >= L'0' && *p <= L'9'; ++p) {
    status = status * 10 + (*p - L'0');
    if (status > 999) return kNotOpened;
  }
  return status;
}

Download* downloadArgument(Call& c, int n) {
  NetworkRegistry* r = networkRegistry();
  return r ? r->downloads.find(c.handle(n)) : nullptr;
}

}  // namespace

// A status below 200 or from 400 on comes back in place of a handle, and
// its request is closed here: the script never gets anything to close.
int32_t cmdPInetOpen(Call& c) {
  NetworkRegistry* r = networkRegistry();
  if (!r) return c.fail(620, -1);
  if (!r->internet.get()) {
    r->internet.reset(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!r->internet.get()) return c.fail(630, -1);
  }
  InternetHandle request(InternetOpenUrlW(r->internet.get(), widen932(c.s(0)).c_str(), nullptr,
                                          static_cast<DWORD>(-1),
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request.get()) return kNotOpened;
  const int32_t status = statusOf(request.get());
  if (status < 200 || status >= 400) return status;
  Download* d = r->downloads.make();
  if (!d) return c.fail(620, -1);
  d->request = std::move(request);
  return Call::handleResult(d->handle);
}

int32_t cmdPInetRecv(Call& c) {
  Download* d = downloadArgument(c, 0);
  if (!d) return c.fail(660, -1);
  // A piece lives in a temporary, and temporaries keep their size: a script
  // asking for more than a piece worth having is given that much at most.
  const int32_t most = std::min(c.i(1), kMaxPiece);
  if (most < 1) return 0;   // the empty string, and nothing read
  StringObject* piece = c.temporary(static_cast<uint32_t>(most) + 1);
  if (!piece) return -1;
  DWORD read = 0;
  if (!InternetReadFile(d->request.get(), piece->text(), static_cast<DWORD>(most), &read) ||
      read > static_cast<DWORD>(most))
    read = 0;
  piece->text()[read] = 0;
  piece->length = static_cast<int32_t>(read) + 1;
  return Call::string(piece);
}

int32_t cmdPInetClose(Call& c) {
  Download* d = downloadArgument(c, 0);
  if (!d) return c.fail(660, -1);
  networkRegistry()->downloads.release(d);
  return 0;
}

}  // namespace qrt
