// The larger scales' pictures and fonts are held as PNG: raw, they would add some 24 MB to
// an executable every self-update downloads. The first window drawn at such a scale decodes
// that set once, with the system's imaging component.
#include "ui/scaled_artwork.h"

#include "ui/compose.h"
#include "ui/window.h"

#include <windows.h>

#include <wincodec.h>
#include <wrl/client.h>

#include <exception>
#include <memory>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// A resource's PNG bytes decoded into exactly `bytes` bytes of 8-bit grey (channels 1) or
// RGBA (channels 4) pixels; empty when it cannot be. The pixels are copied as they are
// stored: the premultiplied pictures are never converted.
std::vector<std::uint8_t> decode(IWICImagingFactory* factory, int id, int channels, std::size_t bytes) {
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10)); // RT_RCDATA
    const DWORD size = found ? SizeofResource(nullptr, found) : 0;
    if (!size) return {};
    const std::uint8_t* data = loadResource(id, size);
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), size)) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)) ||
        FAILED(frame->GetPixelFormat(&format))) {
        return {};
    }
    const bool grey = format == GUID_WICPixelFormat8bppGray;
    const bool rgba = format == GUID_WICPixelFormat32bppRGBA, bgra = format == GUID_WICPixelFormat32bppBGRA;
    if ((channels == 1 ? !grey : !(rgba || bgra)) || std::size_t{width} * height * channels != bytes)
        return {};
    std::vector<std::uint8_t> pixels(bytes);
    if (FAILED(frame->CopyPixels(nullptr, width * channels, static_cast<UINT>(bytes), pixels.data())))
        return {};
    if (bgra) {
        for (std::size_t i = 0; i < bytes; i += 4)
            std::swap(pixels[i], pixels[i + 2]);
    }
    return pixels;
}

struct LoadedSet {
    bool tried = false, bound = false;
    std::vector<std::uint8_t> data[res::count];
};

} // namespace

bool loadScaledArtwork(int halves) {
    static LoadedSet loaded[res::scaledSetCount];
    for (int set = 0; set < res::scaledSetCount; ++set) {
        const res::ScaledSet& from = res::scaledSets[set];
        if (from.halves != halves) continue;
        LoadedSet& s = loaded[set];
        if (s.tried) return s.bound;
        s.tried = true;
        ComPtr<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory)))) {
            return false;
        }
        const std::uint8_t* resources[res::count];
        try {
            for (int i = 0; i < res::count; ++i) {
                const bool atlas = i >= res::count - 4; // the four fonts come last
                s.data[i] =
                    decode(factory.Get(), from.firstId + res::all[i].id, atlas ? 1 : 4, from.bytes[i]);
                if (s.data[i].empty()) return false;
                resources[i] = s.data[i].data();
            }
        } catch (const std::exception&) {
            return false; // a resource that is not there: drawn from another scale instead
        }
        ui::bindScaledArtwork(set, resources);
        s.bound = true;
        return true;
    }
    return false;
}
