// The identity-verification client: asks the identity-verification server
// (IVS) whether a certificate is valid ("A1") or belongs to an identification
// number ("B1"), over the HTTP client, and checks the signed answer.
//
// Configuration, section [IVS]: IP and PORT of the server, SVR_KM_CERT_URL
// (the LDAP URL of the directory entry publishing the server's certificates)
// and TIME_OUT (seconds to wait for the answer; 0 or absent: 600), the last
// read once per API context.
//
// The server's key-management certificate (to encrypt the identification
// number for it) and its signing certificate (to trust its answers) are kept
// in "<work dir>/cache/IVS/IVS_KmCert.der" and "IVS_SignCert.der". A missing
// cache file is filled from the directory (attributes "usercertificate" and
// "signcertificate"); an answer signed under another certificate than the
// cached one makes the client fetch the signing certificate once more, so a
// server that renewed its certificate is followed.
#pragma once

#include <string>

#include "net/ivs_failure.h"
#include "net/ivs_message.h"

namespace qelt::ivs {

enum class ServerCert { KeyManagement, Signing };

class Client {
public:
    // `timeOut` is the API context's field: 0 until the first configuration
    // read, then the seconds to wait. `ldapTimeOut` is the context's
    // directory time-out (0 while it has none).
    Client(const char* workDir, int& timeOut, int ldapTimeOut)
        : m_workDir(workDir == nullptr ? "" : workDir), m_timeOut(timeOut), m_ldapContextTimeOut(ldapTimeOut) {}

    // Reads [IVS] from the configuration file; 0, 1226, 2112, 2113 or 2114.
    int loadConfig(const char* path, Failure& failure);

    // The server's certificate: with pass 0 from the cache file when it is
    // there, otherwise (or with pass 1) from the directory, then cached.
    // `fromCache`, when given, tells which.
    int serverCertificate(ServerCert which, int pass, ByteString& cert, Failure& failure, bool* fromCache = nullptr);

    // "A1": is `cert` valid, asked as `myCert`. `signCert`, when not null,
    // is the server's signing certificate to trust instead of the cached one.
    int verifyCertificate(const ByteString& cert, const ByteString& myCert, const ByteString* signCert,
                          Failure& failure);
    // "B1": does `cert` belong to `idn`. `kmCert` and `signCert`, when not
    // null, take the place of the cached server certificates.
    int verifyIdentity(const ByteString& cert, const ByteString& myCert, const char* idn, const ByteString* kmCert,
                       const ByteString* signCert, Failure& failure);

    std::string cachePath(ServerCert which) const;

private:
    int ask(MessageType type, RequestFields& fields, const ByteString* signCert, Failure& failure);
    int trustedSigner(const ByteString& presented, const ByteString* given, ByteString& trusted, Failure& failure);
    int fetchFromDirectory(ServerCert which, ByteString& cert, Failure& failure);

    std::string m_workDir;
    int& m_timeOut;
    std::string m_ip;
    int m_port = 0;
    std::string m_certUrl;
    int m_ldapContextTimeOut = 0;
    int m_ldapTimeOut = 10;
};

}  // namespace qelt::ivs
