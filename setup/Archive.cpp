// Archive: a walk over the headers of a tar archive, reading no data.
#include "Archive.h"

#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BlockSize = 512;
constexpr size_t SizeField = 124; // 12 bytes: the member's data size
constexpr size_t SumField = 148;  // 8 bytes: the header's checksum
constexpr size_t SumLength = 8;
constexpr size_t TypeField = 156; // 1 byte: the member's type
constexpr uint64_t MaxSize = uint64_t(1) << 62;

bool AllZero(const unsigned char *block) {
    for (size_t i = 0; i < BlockSize; ++i)
        if (block[i] != 0) return false;
    return true;
}

// An octal number of a header field: leading blanks, digits, then a NUL, a
// blank or the end of the field. An empty field is 0.
bool Octal(const unsigned char *field, size_t length, uint64_t *value) {
    size_t i = 0;
    while (i < length && field[i] == ' ')
        ++i;
    uint64_t n = 0;
    for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (n > (MaxSize >> 3)) return false;
        n = n * 8 + uint64_t(field[i] - '0');
    }
    if (i < length && field[i] != '\0' && field[i] != ' ') return false;
    *value = n;
    return true;
}

// The checksum holds the sum of the header's bytes with its own field
// counted as blanks; old tars summed them as signed characters.
bool ChecksumHolds(const unsigned char *header) {
    uint64_t stored = 0;
    if (!Octal(header + SumField, SumLength, &stored)) return false;
    uint64_t unsignedSum = 0;
    int64_t signedSum = 0;
    for (size_t i = 0; i < BlockSize; ++i) {
        const unsigned char c = i >= SumField && i < SumField + SumLength ? ' ' : header[i];
        unsignedSum += c;
        signedSum += static_cast<signed char>(c);
    }
    return stored == unsignedSum || int64_t(stored) == signedSum;
}

// The data size of a member: octal, or GNU's base-256 form for large sizes
// (first byte 0x80, then the number big-endian).
bool MemberSize(const unsigned char *header, uint64_t *size) {
    const unsigned char *field = header + SizeField;
    if ((field[0] & 0x80) == 0) return Octal(field, 12, size);
    if (field[0] != 0x80) return false; // negative
    uint64_t n = 0;
    for (size_t i = 1; i < 12; ++i) {
        if (n > (MaxSize >> 8)) return false;
        n = (n << 8) | field[i];
    }
    *size = n;
    return true;
}

// Links, devices, directories and pipes carry no data whatever their size
// field says.
bool CarriesData(unsigned char type) {
    return type < '1' || type > '6';
}

} // namespace

int TarArchiveWhole(const unsigned char *data, size_t size) {
    if (data == nullptr) return 0;
    size_t offset = 0;
    while (size - offset >= BlockSize) {
        const unsigned char *header = data + offset;
        if (AllZero(header)) return 1;
        uint64_t length = 0;
        if (!ChecksumHolds(header) || !MemberSize(header, &length)) return 0;
        const uint64_t blocks =
            CarriesData(header[TypeField]) ? (length + BlockSize - 1) / BlockSize : 0;
        const uint64_t left = (size - offset - BlockSize) / BlockSize;
        if (blocks > left) return 0; // the member's data was cut
        offset += BlockSize * size_t(1 + blocks);
    }
    return 0; // no end-of-archive block: the archive was cut
}

int TarFileWhole(const char *path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        close(fd);
        return 0;
    }
    const auto size = size_t(st.st_size);
    void *map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return 0;
    int whole = TarArchiveWhole(static_cast<const unsigned char *>(map), size);
    munmap(map, size);
    return whole;
}
