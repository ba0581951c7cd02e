/// \file
/// Remote clients: the objects through which remote components are reached.
///
/// A client holds a connection to one server and logs in to it. Client
/// classes are written by the host: they derive from IClient, implement the
/// login, break check, logout and user id, and register a factory derived from
/// IClient::IFactory under the interface id "Client". The library wraps each
/// client factory, keeps every live client in one process-wide list so that a
/// logged-in client is shared by all components of the same server, logs
/// clients in (again after a break) when components are looked up, tells
/// status procedures when a client is aborted, and drops clients that never
/// managed to log in and sat unused for five minutes. A client is always
/// logged out before it is destroyed.
///
/// The library calls login, checkBroken, logout and the status procedures
/// with none of its locks held, possibly from several threads at once for one
/// client (two lookups of the same server), so client classes guard their own
/// connection state.
#ifndef DOZUV2_COMPONENT_CLIENT_H
#define DOZUV2_COMPONENT_CLIENT_H

#include "component/Factory.h"
#include "component/Unknown.h"
#include "virad/CTime.h"
#include "virad/Export.h"
#include "virad/Function.h"
#include "virad/devez3/detail/flex_string.h"

#include <cstdint>

namespace Orvane {
namespace Component {
/// \addtogroup components
/// @{

template <typename T> class TComPtr;

namespace Detail {
struct ClientAccess;
} // namespace Detail

/// The server and account a client logs in to. The texts are borrowed (null
/// means empty); what each field means is up to the client class. Fields
/// marked "identity" decide whether two descriptions name the same server.
struct DOZUV2_API ServerInfo {
    constexpr ServerInfo()
        : text1(nullptr), number1(0), userName(nullptr), text3(nullptr), text4(nullptr), flag1(0), flag2(0), number2(0),
          text5(nullptr), text6(nullptr), text7(nullptr), text8(nullptr), number3(0), text9(nullptr), flag3(0),
          flag4(0), flagBits(0), extra{}, number4(0), number5(0), text10(nullptr), text11(nullptr),
          text12(nullptr), reserved{} {}
    /// Copied and moved field by field.
    ///@{
    ServerInfo(const ServerInfo&) = default;
    ServerInfo(ServerInfo&&) = default;
    ///@}
    /// Copies the whole record byte for byte, reserved bytes included.
    ///@{
    ServerInfo& operator=(const ServerInfo& other);
    ServerInfo& operator=(ServerInfo&&) = default;
    ///@}

    /// Every field zero. Passed by identity (its address, not its contents)
    /// to say that no server is involved.
    static const ServerInfo none;

    const char* text1;      ///< identity
    int number1;            ///< identity
    const char* userName;   ///< identity
    const char* text3;      ///< identity
    const char* text4;      ///< identity
    std::uint8_t flag1;     ///< identity
    std::uint8_t flag2;     ///< identity
    std::int16_t number2;   ///< kept, not identity
    const char* text5;      ///< identity
    const char* text6;      ///< identity
    const char* text7;      ///< identity
    const char* text8;      ///< kept, not identity
    int number3;            ///< identity
    const char* text9;      ///< identity
    std::uint8_t flag3;     ///< identity
    std::uint8_t flag4 : 1; ///< identity
    /// Kept, not identity.
    ///@{
    std::uint8_t flagBits : 7;
    std::uint8_t extra[2];
    int number4;        ///< identity
    int number5;        ///< kept, not identity
    const char* text10; ///< identity
    const char* text11; ///< identity
    const char* text12; ///< kept, not identity
    ///@}
    /// Kept as they are.
    std::uint8_t reserved[136];
};

/// A login challenge as a client class reads it from its server; the library
/// only copies it.
struct DOZUV2_API ServerChallenge {
    /// The challenge's texts and values.
    ///@{
    Virad::mini_string texts[5];
    std::int32_t values[27] = {};
    ///@}
};

/// The layouts shared with code built against these headers.
///@{
static_assert(sizeof(ServerInfo) == 272, "a ServerInfo is 136 bytes of fields and 136 reserved");
static_assert(sizeof(ServerChallenge) == 5 * sizeof(void*) + 27 * 4 + 4, "five one-pointer texts and 27 values");
///@}

class DOZUV2_API IClient : public IUnknown {
public:
    /// What a status procedure is told; the library sends aborted.
    enum Status { connected = 0, disconnected = 1, aborted = 2 };
    /// Told (custom data, the client's class id, the client with a reference
    /// for the call, the status, the value given to abort). Procedures run
    /// with no lock held and may attach or detach procedures, themselves too.
    using StatusProc = Virad::TFunction5<void, void*, ClassID, TComPtr<IClient>, Status, int>;

    /// The factory of a client class, registered under iid().
    class DOZUV2_API IFactory : public IFactoryUnknown {
    public:
        /// A new client for the server; null when none can be made.
        virtual IClient* create(const ServerInfo& info) = 0;
        /// "Client".
        static const char* iid();
        /// The first listed client of this factory's class logged in with the
        /// user id, without a reference; null when none.
        IClient* instance(int userId);
    };

    IClient();
    /// Copy and assignment copy the internal pointer, as for IUnknown.
    ///@{
    IClient(const IClient& other);
    IClient& operator=(const IClient& other);
    ///@}
    ~IClient() override;

    /// True when the connection has been found broken.
    virtual bool checkBroken() = 0;
    /// True when the client is logged in.
    virtual bool login() = 0;
    /// Ends the login; called before the client is destroyed and by abort.
    virtual bool logout() = 0;
    /// Writes the user id of the logged-in account.
    virtual bool getUserID(int& userId) = 0;
    /// Optional operations: unless a client class provides them they set last
    /// error 0x10030010 and return false.
    ///@{
    virtual bool getCurrentTime(Virad::CTime& time);
    virtual bool setCurrentTime(const Virad::CTime& time, int tolerance);
    virtual bool loginAgain(const ServerInfo& info);
    virtual bool checkAuthorityString(const char* authority);
    virtual bool loginFirst();
    virtual bool getChallenge(ServerChallenge& challenge);
    ///@}
    /// Adds a status procedure (at most 8, each once); true when added.
    virtual bool attachStatusProc(StatusProc proc);
    /// Removes a status procedure (a reuse-any delegate removes every match);
    /// true when one was attached.
    virtual bool detachStatusProc(StatusProc proc);

    /// The server description the client was made for; the texts point into
    /// the client and stay valid while it lives. True.
    bool getServerInfo(ServerInfo& info);
    /// The time of the last successful login. True.
    bool getLoginTime(Virad::CTime& time);
    /// Tells every status procedure (status aborted, value), then logs out;
    /// the result of logout().
    bool abort(int value);
    /// The host's own value, handed to status procedures; null until set.
    ///@{
    void setCustomData(void* data);
    void* getCustomData();
    ///@}
    /// Stores the user name once; later calls warn and change nothing. True.
    bool saveUserName(const char* userName);
    /// The user id of the client the calling thread used last (0: none yet).
    static int getCurrentUserID();

private:
    friend struct Detail::ClientAccess;
    struct ClientInternal* m_internal;
};
/// @}

} // namespace Component
} // namespace Orvane

#include "component/ComPtr.h"

#endif
