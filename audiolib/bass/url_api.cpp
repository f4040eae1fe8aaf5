// Network streams: BASS_StreamCreateURL over the platform's client.
#include <algorithm>
#include <string>

#include "bass.h"
#include "c_boundary.h"
#include "error.h"
#include "library_instance.h"
#include "network_source.h"

using namespace tav::audio;

extern "C" {

// The file arrives through NetworkSource's download thread, so a prescan flag changes
// nothing: the length comes from the server's announcement or the format's own header,
// else it is unknown. The connection is closed when the stream is freed (or when it ends).
HSTREAM BASSAPI BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user) {
  return guarded(set_error, HSTREAM{0}, [&]() -> HSTREAM {
    if (!url || !*url) return fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
    if (!(flags & BASS_STREAM_DECODE)) return fail(BASS_ERROR_NOTAVAIL, HSTREAM{0});
    int error = BASS_OK;
    const LibraryConfig& config = library().config;
    const std::string address = url;
    const unsigned timeout = config.net_timeout_ms;
    auto reader = open_net_reader(address, offset, timeout, error);
    if (!reader) return fail(error, HSTREAM{0});
    NetworkSource::Progress progress;
    if (proc) progress = [proc, user](const void* data, size_t size) { proc(data, static_cast<DWORD>(size), user); };
    // The buffer holds the network-buffer setting's time at up to 384 kbit/s; the prebuffer
    // is its share of that time at the stream's own rate once the decoder knows it.
    NetBufferOptions options;
    options.capacity = std::max<size_t>(size_t{config.net_buffer_ms} * (384 / 8), 2 * NetworkSource::kMinAhead);
    options.prebuffer = options.capacity / 100 * config.net_prebuffer_percent;
    options.prebuffer_ms = config.net_buffer_ms / 100 * config.net_prebuffer_percent;
    options.timeout_ms = timeout;
    // a seek outside the buffer opens the address again from there
    auto reconnect = [address, offset, timeout](uint64_t from, int& e) {
      return open_net_reader(address, offset + from, timeout, e);
    };
    auto source = std::make_unique<NetworkSource>(std::move(reader), reconnect, options, std::move(progress));
    const HSTREAM h = library().create_file_stream(std::move(source), flags & ~BASS_STREAM_PRESCAN);
    if (h) set_error(BASS_OK);
    return h;
  });
}

}  // extern "C"
