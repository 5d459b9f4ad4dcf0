// Reading a .3ds file: the file into memory, the little-endian primitives and the walk of its
// chunks; what the editor chunk holds is read in L3dsScene.cpp.

#include "model3ds/L3DS.h"

#include "model3ds/ChunkIds.h"
#include "platform/Debug.h"
#include "platform/LoadNotes.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>

using namespace chunk3ds;

namespace {

constexpr size_t headerSize = 6;

} // namespace

L3DS::L3DS(const std::string& path) { loadFile(path); }

namespace {

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<uint32_t>::max())
        return false;
    file.seekg(0);
    try {
        bytes.assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    file.read(reinterpret_cast<char*>(bytes.data()), size);
    return static_cast<bool>(file);
}

} // namespace

bool L3DS::loadFile(const std::string& path) {
    clear();
    std::vector<uint8_t> bytes;
    return readWholeFile(path, bytes) && readBuffer(std::move(bytes), path);
}

bool L3DS::loadMemory(const uint8_t* data, size_t size, const std::string& source) {
    clear();
    if (size > std::numeric_limits<uint32_t>::max())
        return false;
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return readBuffer(std::move(bytes), source);
}

bool L3DS::readBuffer(std::vector<uint8_t>&& bytes, const std::string& source) {
    buffer = std::move(bytes);
    source_ = source;
    const bool result = parse();
    std::vector<uint8_t>().swap(buffer);
    return result;
}

bool L3DS::parse() {
    bufferSize = static_cast<uint32_t>(buffer.size());
    position = 0;
    facesLeftOut_ = 0;
    firstChunkPastEnd_.reset();
    firstMeshLeftOut_.reset();
    materialIdByName_.clear();
    // The main chunk may reach past the end of a truncated file: its contents are read as far as
    // they go.
    const Chunk file{0, 0, std::numeric_limits<uint64_t>::max()};
    Chunk main, editor;
    bool result = false;
    if (readChunkHeader(file, main) && main.id == Main && findChunk(Editor, main, editor)) {
        readMaterials(editor);
        readObjects(editor);
        processMeshes();
        if (facesLeftOut_ > 0)
            debugLine("%s: %zu faces with a corner beyond their mesh's vertices were left out",
                      source_.c_str(), facesLeftOut_);
        result = true;
    }
    if (firstChunkPastEnd_)
        noteLoadProblem("Model %s is cut short: chunk 0x%04X at byte %llu claims to end at byte "
                        "%llu, but the file holds %u bytes",
                        source_.c_str(), unsigned(firstChunkPastEnd_->id),
                        (unsigned long long)(firstChunkPastEnd_->dataStart - headerSize),
                        (unsigned long long)firstChunkPastEnd_->end, bufferSize);
    position = 0;
    objectName.clear();
    materialIdByName_.clear();
    bufferSize = 0;
    return result;
}

// --- Reading primitives: little-endian; past the end of the buffer they give 0 and stay put.

uint8_t L3DS::readU8() {
    if (uint64_t(position) + 1 > bufferSize)
        return 0;
    return buffer[position++];
}

uint16_t L3DS::readU16() {
    if (uint64_t(position) + 2 > bufferSize)
        return 0;
    const uint16_t value = static_cast<uint16_t>(buffer[position] | buffer[position + 1] << 8);
    position += 2;
    return value;
}

uint32_t L3DS::readU32() {
    if (uint64_t(position) + 4 > bufferSize)
        return 0;
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | buffer[position + i];
    position += 4;
    return value;
}

float L3DS::readFloat() {
    if (uint64_t(position) + 4 > bufferSize)
        return 0;
    const uint32_t bits = readU32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Vec3 L3DS::readVec3() {
    const float x = readFloat(), y = readFloat(), z = readFloat();
    return {x, y, z};
}

std::string L3DS::readString(size_t limit, uint64_t end) {
    std::string text;
    const uint64_t stop = std::min<uint64_t>(end, bufferSize);
    while (position < stop) {
        const char c = static_cast<char>(buffer[position++]);
        if (c == 0)
            break;
        if (text.size() + 1 < limit)
            text += c;
    }
    return text;
}

void L3DS::seekTo(uint64_t offset) {
    position = static_cast<uint32_t>(std::min<uint64_t>(offset, bufferSize));
}

size_t L3DS::countThatFits(uint32_t declared, size_t size, const Chunk& chunk) const {
    const uint64_t end = std::min<uint64_t>(chunk.end, bufferSize);
    const uint64_t left = end > position ? end - position : 0;
    return static_cast<size_t>(std::min<uint64_t>(declared, left / size));
}

// --- Chunks

bool L3DS::readChunkHeader(const Chunk& parent, Chunk& chunk) {
    const uint64_t start = position;
    if (start + headerSize > parent.end || start + headerSize > bufferSize)
        return false;
    const uint16_t id = readU16();
    const uint32_t length = readU32();
    if (length < headerSize || start + length > parent.end) {
        position = static_cast<uint32_t>(start);
        return false;
    }
    chunk = {id, start + headerSize, start + length};
    if (chunk.end > bufferSize && !firstChunkPastEnd_)
        firstChunkPastEnd_ = chunk;
    return true;
}

bool L3DS::findChunk(uint16_t id, const Chunk& parent, Chunk& found) {
    Chunk chunk;
    while (readChunkHeader(parent, chunk)) {
        if (chunk.id == id) {
            found = chunk;
            return true;
        }
        seekTo(chunk.end);
    }
    return false;
}

Vec3 L3DS::readColour(const Chunk& chunk) {
    switch (chunk.id) {
    case ColourFloat:
    case ColourFloatGamma:
        return readVec3();
    case Colour24:
    case Colour24Gamma: {
        const float r = readU8() / 255.0f, g = readU8() / 255.0f, b = readU8() / 255.0f;
        return {r, g, b};
    }
    default:
        return {};
    }
}

Vec3 L3DS::readFirstColour(const Chunk& parent) {
    Chunk chunk;
    return readChunkHeader(parent, chunk) ? readColour(chunk) : Vec3();
}

float L3DS::readPercentage(const Chunk& chunk) {
    switch (chunk.id) {
    case PercentInt:
        return static_cast<int16_t>(readU16()) / 100.0f;
    case PercentFloat:
        return readFloat();
    default:
        return 0;
    }
}

float L3DS::readFirstPercentage(const Chunk& parent) {
    Chunk chunk;
    return readChunkHeader(parent, chunk) ? readPercentage(chunk) : 0.0f;
}
