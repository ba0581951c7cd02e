// CAes: the five modes of operation over the block engines. Each mode is an
// object of its own holding exactly the state that mode needs.
#include "utils/Aes.h"

#include "Src/Common/Report.h"
#include "Src/Utils/AesCore.h"
#include "Src/Utils/InstructionPaths.h"

#include <cstring>
#include <new>

namespace Orvane {
namespace Utils {

using Detail::AesEngine;
using Detail::AesKeySchedule;

class AesInternal {
public:
    virtual ~AesInternal() = default;
    virtual bool encrypt(unsigned char* out, const unsigned char* in, std::size_t length) = 0;
    virtual bool decrypt(unsigned char* out, const unsigned char* in, std::size_t length) = 0;
    // A copy in the same state; null when memory ran out.
    virtual AesInternal* clone() const = 0;

    bool initialised = false;

protected:
    AesInternal() : m_engine(&chooseEngine()) {}
    AesInternal(const AesInternal&) = default;

    // The common first step of every call: false (with the message) unless
    // the key was set up, and false for a null buffer with data to move.
    bool ready(unsigned char* out, const unsigned char* in, std::size_t length) const {
        if (!initialised) {
            VIRAD_REPORT(Virad::LOG_ERROR, "aes init failed.\n");
            return false;
        }
        return length == 0 || (out != nullptr && in != nullptr);
    }

    // Expands the encryption schedule, and the decryption schedule when one
    // is asked for; reports a null key under the mode's name.
    bool expand(const char* modeName, const unsigned char* key, int bits, AesKeySchedule* encrypt,
                AesKeySchedule* decrypt) {
        std::memset(encrypt, 0, sizeof *encrypt);
        if (decrypt != nullptr) {
            std::memset(decrypt, 0, sizeof *decrypt);
        }
        if (key == nullptr) {
            VIRAD_REPORT(Virad::LOG_ERROR, "%s key is NULL\n", modeName);
            return false;
        }
        if (!m_engine->expandEncryptKey(*encrypt, key, bits)) {
            return false;
        }
        if (decrypt != nullptr) {
            m_engine->makeDecryptKey(*decrypt, *encrypt);
        }
        return true;
    }

    static void copyIv(unsigned char block[16], const unsigned char* iv) {
        if (iv != nullptr) {
            std::memcpy(block, iv, 16);
        } else {
            std::memset(block, 0, 16);
        }
    }

    const AesEngine* m_engine;

private:
    static const AesEngine& chooseEngine() {
#if defined(DOZUV2_X86_PATHS) || defined(DOZUV2_ARM64_PATHS)
        if (Detail::instructionPaths().aes) {
            return Detail::aesInstructionEngine();
        }
#endif
        return Detail::aesPortableEngine();
    }
};

namespace AES {

// Shared by the modes: the copy made through the mode's own copy constructor.
template <typename Mode> class CloneableMode : public AesInternal {
public:
    AesInternal* clone() const override { return new (std::nothrow) Mode(static_cast<const Mode&>(*this)); }
};

// The modes on whole blocks, with both key schedules: ECB and CBC.
template <typename Mode> class BlockMode : public CloneableMode<Mode> {
public:
    bool encrypt(unsigned char* out, const unsigned char* in, std::size_t length) override {
        if (!this->ready(out, in, length) || length % 16 != 0) {
            return false;
        }
        static_cast<Mode*>(this)->encryptBlocks(out, in, length / 16);
        return true;
    }
    bool decrypt(unsigned char* out, const unsigned char* in, std::size_t length) override {
        if (!this->ready(out, in, length) || length % 16 != 0) {
            return false;
        }
        static_cast<Mode*>(this)->decryptBlocks(out, in, length / 16);
        return true;
    }

protected:
    BlockMode(const char* name, const unsigned char* key, int bits) {
        this->initialised = this->expand(name, key, bits, &m_encryptKey, &m_decryptKey);
    }
    BlockMode(const BlockMode&) = default;
    ~BlockMode() override {
        Detail::aesWipeSchedule(m_encryptKey);
        Detail::aesWipeSchedule(m_decryptKey);
    }

    AesKeySchedule m_encryptKey;
    AesKeySchedule m_decryptKey;
};

// The modes on any length, with the encryption schedule only and a 16-byte
// register that starts as the IV: CFB-8, CFB-128 and CTR. The mode's run()
// takes the call once the common checks have passed.
template <typename Mode> class StreamMode : public CloneableMode<Mode> {
public:
    bool encrypt(unsigned char* out, const unsigned char* in, std::size_t length) override {
        if (!this->ready(out, in, length)) {
            return false;
        }
        static_cast<Mode*>(this)->run(out, in, length, true);
        return true;
    }
    bool decrypt(unsigned char* out, const unsigned char* in, std::size_t length) override {
        if (!this->ready(out, in, length)) {
            return false;
        }
        static_cast<Mode*>(this)->run(out, in, length, false);
        return true;
    }

protected:
    StreamMode(const char* name, const unsigned char* key, int bits, const unsigned char* iv) {
        this->initialised = this->expand(name, key, bits, &m_encryptKey, nullptr);
        this->copyIv(m_register, iv);
    }
    StreamMode(const StreamMode&) = default;
    ~StreamMode() override { Detail::aesWipeSchedule(m_encryptKey); }

    AesKeySchedule m_encryptKey;
    unsigned char m_register[16]; // the shift register, feedback block or counter block
};

class CAesECB final : public BlockMode<CAesECB> {
public:
    CAesECB(const unsigned char* key, int bits) : BlockMode("AesECB", key, bits) {}
    void encryptBlocks(unsigned char* out, const unsigned char* in, std::size_t blocks) {
        m_engine->encryptBlocks(m_encryptKey, out, in, blocks);
    }
    void decryptBlocks(unsigned char* out, const unsigned char* in, std::size_t blocks) {
        m_engine->decryptBlocks(m_decryptKey, out, in, blocks);
    }
};

class CAesCBC final : public BlockMode<CAesCBC> {
public:
    CAesCBC(const unsigned char* key, int bits, const unsigned char* iv) : BlockMode("AesCBC", key, bits) {
        copyIv(m_iv, iv);
    }
    void encryptBlocks(unsigned char* out, const unsigned char* in, std::size_t blocks) {
        m_engine->cbcEncrypt(m_encryptKey, m_iv, out, in, blocks);
    }
    void decryptBlocks(unsigned char* out, const unsigned char* in, std::size_t blocks) {
        m_engine->cbcDecrypt(m_decryptKey, m_iv, out, in, blocks);
    }

private:
    unsigned char m_iv[16];
};

class CAesCFB8 final : public StreamMode<CAesCFB8> {
public:
    CAesCFB8(const unsigned char* key, int bits, const unsigned char* iv) : StreamMode("AesCFB8", key, bits, iv) {}
    void run(unsigned char* out, const unsigned char* in, std::size_t length, bool encrypting) {
        for (std::size_t i = 0; i < length; ++i) {
            unsigned char stream[16];
            m_engine->encryptBlocks(m_encryptKey, stream, m_register, 1);
            const unsigned char input = in[i];
            const unsigned char output = static_cast<unsigned char>(input ^ stream[0]);
            out[i] = output;
            std::memmove(m_register, m_register + 1, 15);
            m_register[15] = encrypting ? output : input; // the ciphertext byte shifts in
        }
    }
};

class CAesCFB128 final : public StreamMode<CAesCFB128> {
public:
    CAesCFB128(const unsigned char* key, int bits, const unsigned char* iv) : StreamMode("AesCFB128", key, bits, iv) {}
    void run(unsigned char* out, const unsigned char* in, std::size_t length, bool encrypting) {
        std::size_t i = 0;
        while (i < length) {
            if (m_offset == 0 && length - i >= 16) {
                // A whole block at once: the same steps as byte by byte.
                unsigned char cipher[16];
                m_engine->encryptBlocks(m_encryptKey, m_register, m_register, 1);
                for (int k = 0; k < 16; ++k) {
                    const unsigned char input = in[i + k];
                    out[i + k] = static_cast<unsigned char>(input ^ m_register[k]);
                    cipher[k] = encrypting ? out[i + k] : input;
                }
                std::memcpy(m_register, cipher, 16);
                i += 16;
                continue;
            }
            if (m_offset == 0) {
                m_engine->encryptBlocks(m_encryptKey, m_register, m_register, 1);
            }
            const unsigned char input = in[i];
            const unsigned char output = static_cast<unsigned char>(input ^ m_register[m_offset]);
            out[i] = output;
            m_register[m_offset] = encrypting ? output : input;
            m_offset = (m_offset + 1) % 16;
            ++i;
        }
    }

private:
    std::size_t m_offset = 0;
};

// Encryption and decryption are the same operation.
class CAesCTR final : public StreamMode<CAesCTR> {
public:
    CAesCTR(const unsigned char* key, int bits, const unsigned char* iv) : StreamMode("AesCTR", key, bits, iv) {
        std::memset(m_stream, 0, sizeof m_stream);
    }
    void run(unsigned char* out, const unsigned char* in, std::size_t length, bool) {
        std::size_t i = 0;
        for (; i < length && m_offset != 0; ++i) {
            out[i] = static_cast<unsigned char>(in[i] ^ m_stream[m_offset]);
            m_offset = (m_offset + 1) % 16;
        }
        const std::size_t blocks = (length - i) / 16;
        if (blocks != 0) {
            m_engine->ctrBlocks(m_encryptKey, m_register, out + i, in + i, blocks);
            i += 16 * blocks;
        }
        if (i < length) {
            m_engine->encryptBlocks(m_encryptKey, m_stream, m_register, 1);
            Detail::aesIncrementCounter(m_register);
            for (; i < length; ++i) {
                out[i] = static_cast<unsigned char>(in[i] ^ m_stream[m_offset++]);
            }
        }
    }

private:
    std::size_t m_offset = 0;
    unsigned char m_stream[16];
};

} // namespace AES

namespace {

AesInternal* makeMode(CAes::EncMode mode, const unsigned char* key, int bits, const unsigned char* iv) {
    switch (mode) {
    case CAes::ECB:
        return new (std::nothrow) AES::CAesECB(key, bits);
    case CAes::CBC:
        return new (std::nothrow) AES::CAesCBC(key, bits, iv);
    case CAes::CFB8:
        return new (std::nothrow) AES::CAesCFB8(key, bits, iv);
    case CAes::CFB128:
        return new (std::nothrow) AES::CAesCFB128(key, bits, iv);
    case CAes::CTR:
        return new (std::nothrow) AES::CAesCTR(key, bits, iv);
    }
    return nullptr;
}

} // namespace

CAes::CAes(EncMode mode, const unsigned char* key, KeyBits bits, const unsigned char* iv)
    : m_internal(makeMode(mode, key, static_cast<int>(bits), iv)) {}

CAes::~CAes() {
    delete m_internal;
}

CAes::CAes(const CAes& other) : m_internal(other.m_internal != nullptr ? other.m_internal->clone() : nullptr) {}

CAes& CAes::operator=(const CAes& other) {
    if (this != &other) {
        AesInternal* copy = other.m_internal != nullptr ? other.m_internal->clone() : nullptr;
        delete m_internal;
        m_internal = copy;
    }
    return *this;
}

bool CAes::encrypt(unsigned char* out, const unsigned char* in, std::size_t length) {
    if (m_internal == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "aes init failed.\n");
        return false;
    }
    return m_internal->encrypt(out, in, length);
}

bool CAes::decrypt(unsigned char* out, const unsigned char* in, std::size_t length) {
    if (m_internal == nullptr) {
        VIRAD_REPORT(Virad::LOG_ERROR, "aes init failed.\n");
        return false;
    }
    return m_internal->decrypt(out, in, length);
}

} // namespace Utils
} // namespace Orvane
