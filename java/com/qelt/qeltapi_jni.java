package com.qelt;

import java.util.ArrayList;
import java.util.List;

/**
 * The flat binding: one native method per exported library function (or per
 * short sequence of them). Each call runs in a fresh library context, returns 0
 * or the library's error code, and leaves its result in the public fields:
 * {@link #baReturnArray} (bytes), {@link #sReturnString} (text) and
 * {@link #nReturnInt} (counts, days). On failure {@link #baReturnArray} holds
 * the standing message of the code and {@link #bDetailErrMsg} the text
 * "ErrCode=%d,ErrMsg=%s" with the library's detail message. Texts cross as
 * bytes of the platform's default charset.
 *
 * <p>An object is not safe for use by several threads at once (its result
 * fields are shared); use one object per thread.
 */
public class qeltapi_jni {
    static {
        System.loadLibrary("qeltapi");
    }

    /** The byte result of the last call, or the standing message of its error code. */
    public byte[] baReturnArray;
    /** The text result of the last call. */
    public String sReturnString;
    /** The integer result of the last call. */
    public int nReturnInt;
    /** After a failure: "ErrCode=%d,ErrMsg=%s". */
    public byte[] bDetailErrMsg;
    /** After a failed {@link #_API_Init}: why the work directory was refused. */
    public byte[] errBuff;

    /** Option word applied before the calls that read settings (0 leaves the library default). */
    public int option;
    /** Configuration file applied before the calls that read settings, when not empty. */
    public String confFile;
    /** CA certificates (DER certificate list) applied before the calls that read settings, when present. */
    public byte[] capubs;

    /** Signers found by {@link #_CMS_ProcessSignedData2}. */
    public int nSignerCnt;
    /** Signing times ("YYYYMMDDhhmmss", "" when absent) from {@link #_CMS_ProcessSignedData2}. */
    public String[] signTimes;
    /** Base64 DER signer certificates from {@link #_CMS_ProcessSignedData2}. */
    public String[] signerCerts;
    /** One record per signer, from the SignedData verification natives. */
    public final List<Signer> signers = new ArrayList<>();

    /** A verified signer of a signed message. */
    public static final class Signer {
        public final int index;
        public final byte[] certificate;
        /** Seconds since 1970, 0 when the signer gave no signing time. */
        public final long signingTime;
        public final byte[] signature;
        /** The signer's time-stamp token, or null. */
        public final byte[] timeStampToken;

        Signer(int index, byte[] certificate, long signingTime, byte[] signature, byte[] timeStampToken) {
            this.index = index;
            this.certificate = certificate;
            this.signingTime = signingTime;
            this.signature = signature;
            this.timeStampToken = timeStampToken;
        }
    }

    /**
     * Called by the native code once per verified signer: its index, the number
     * of signers, its certificate, signing time, signature value and time-stamp
     * token, and, with the first signer only, the message content (also in
     * {@link #baReturnArray}).
     */
    protected void setSignerCert(int index, int count, byte[] cert, long signingTime, byte[] signature,
            byte[] timeStampToken, byte[] content) {
        if (index == 0) signers.clear();
        signers.add(new Signer(index, cert, signingTime, signature, timeStampToken));
    }

    /** Called by {@link #_CMS_ProcessSignedData2} with every signer's signing time. */
    protected void setSignTimes(String[] times) {
        signTimes = times;
    }

    /** Called by {@link #_CMS_ProcessSignedData2} with every signer's certificate in Base64. */
    protected void setSignerCerts(String[] certs) {
        signerCerts = certs;
    }

    /** The detail of the last failure as text, or "" after a success. */
    public String detail() {
        return bDetailErrMsg == null ? "" : new String(bDetailErrMsg);
    }

    // ---- frame
    /** Sets the process-wide work directory once (later calls change nothing and succeed); 1 when too long. */
    public native int _API_Init(String workDir);
    /** The library version into {@link #sReturnString}. */
    public native int _API_GetVersion();
    /** The library information text into {@link #sReturnString}; the text must fit nBufLen bytes. */
    public native int API_GetInfo(int nBufLen);
    public native int _BASE64_Encode(byte[] data);
    public native int _BASE64_Decode(byte[] encoded);
    /** Reads a whole file into {@link #baReturnArray}. */
    public native int _STORAGE_ReadFile(String path);
    /** Writes a whole file, creating its directories. */
    public native int _STORAGE_WriteFile(String path, byte[] data);

    // ---- certificates: fields as display texts into sReturnString
    public native int CERT_GetUID(byte[] cert);
    public native int CERT_GetSerialNum(byte[] cert);
    public native int CERT_GetIssuerName(byte[] cert);
    public native int CERT_GetSubjectName(byte[] cert);
    public native int CERT_GetValidity(byte[] cert);
    public native int CERT_GetPubKeyAlg(byte[] cert);
    public native int CERT_GetKeyUsage(byte[] cert);
    public native int CERT_GetBasicConstraints(byte[] cert);
    public native int CERT_GetCertPolicyID(byte[] cert);
    /** Days of validity left into {@link #nReturnInt}; 1248 when fewer than warnDays remain. */
    public native int CERT_GetRemainDays(byte[] cert, int warnDays);
    /** Appends cert to the certificate list certs (empty starts one); the list into {@link #baReturnArray}. */
    public native int CERT_AddCert(byte[] cert, byte[] certs);
    public native int _CERT_GetCertCount(byte[] certs);
    /** Certificate nIndex (0-based) of a certificate list. */
    public native int _CERT_GetCert(byte[] certs, int nIndex);

    // ---- cryptography
    public native int _CRYPT_Hash(int hashAlg, byte[] data);
    public native int _CRYPT_GenRandom(int len);
    /** A fresh key and IV for symAlg into {@link #baReturnArray}: the key followed by the IV (one block). */
    public native int _CRYPT_GenKeyAndIV(int symAlg);
    public native int CRYPT_Encrypt(int symAlg, byte[] key, byte[] iv, byte[] plain);
    public native int CRYPT_Decrypt(int symAlg, byte[] key, byte[] iv, byte[] cipher);
    public native int CRYPT_Encrypt_File(int symAlg, byte[] key, byte[] iv, String plainFile, String cipherFile);
    public native int CRYPT_Decrypt_File(int symAlg, byte[] key, byte[] iv, String cipherFile, String plainFile);
    public native int _CRYPT_GenMAC(int macAlg, String key, byte[] data);
    public native int _CRYPT_VerifyMAC(int macAlg, String key, byte[] data, byte[] mac);
    public native int _CRYPT_Sign(byte[] cert, byte[] priKey, int hashAlg, byte[] data);
    public native int _CRYPT_Verify(byte[] cert, int hashAlg, byte[] data, byte[] signature);
    /** keyType 1: private key, 2: certificate; option: an option word for this call (0: none). */
    public native int CRYPT_AsymEncrypt(int keyType, byte[] key, byte[] data, int option);
    public native int CRYPT_AsymDecrypt(int keyType, byte[] key, byte[] encrypted, int option);

    // ---- private keys
    public native int _PRIKEY_Encrypt(int symAlg, String password, byte[] priKey);
    public native int _PRIKEY_Decrypt(String password, byte[] encPriKey);
    public native int _PRIKEY_ChangePasswd(String oldPassword, String newPassword, byte[] encPriKey);
    public native int _PRIKEY_CheckKeyPair(byte[] cert, byte[] priKey);
    public native int _VID_GetRandomFromPriKey(byte[] priKey);

    // ---- LDAP directories (confFile: [LDAP] LDAP_TIME_OUT)
    /** One value of the data type's attribute from the entry an LDAP URL names. */
    public native int _LDAP_GetDataByURL(int dataType, String url);
    /** The first value of any attribute from the entry an LDAP URL names. */
    public native int _LDAP_GetAnyDataByURL(String attribute, String url);
    /** The CRL (ARL for a CA certificate) through the certificate's CRL distribution points. */
    public native int _LDAP_GetCRLByCert(byte[] cert);
    /** The CA bundle of a certificate from the directories of the configuration's LDAP_INFO sections. */
    public native int _LDAP_GetCertPath(byte[] cert, String confFile);

    // ---- CMS
    /** hashAlg: the signing hash (0: the one of the signer certificate's signature). */
    public native int _CMS_MakeSignedData(byte[] cert, byte[] priKey, byte[] data, String signingTime, int hashAlg);
    public native int _CMS_MakeSignedDataWithAddSigner(byte[] cert, byte[] priKey, byte[] signedData,
            String signingTime, int hashAlg);
    /** Verifies every signer; the content into {@link #baReturnArray}, the signers into {@link #signers}. */
    public native int _CMS_ProcessSignedData(byte[] signedData);
    /** As {@link #_CMS_ProcessSignedData}, and fills {@link #nSignerCnt}, {@link #signTimes}, {@link #signerCerts}. */
    public native int _CMS_ProcessSignedData2(byte[] signedData);
    /** option: an option word for this call (0: none), e.g. 0x200 for a ContentInfo. */
    public native int CMS_MakeEnvelopedData(byte[] cert, byte[] data, int symAlg, int option);
    public native int CMS_MakeEnvelopedDataWithMultiRecipients(byte[] certs, byte[] data, int symAlg, int option);
    /** encContentFile: empty to keep the ciphertext inside the message file. */
    public native int CMS_MakeEnvelopedData_File(byte[] cert, String dataFile, int symAlg, String envelopedFile,
            String encContentFile, int option);
    public native int _CMS_ProcessEnvelopedData(byte[] cert, byte[] priKey, byte[] envelopedData);
    public native int _CMS_ProcessEnvelopedData_File(byte[] cert, byte[] priKey, String envelopedFile,
            String dataFile);
    public native int _CMS_ProcessEnvelopedData_NoContent_File(byte[] cert, byte[] priKey, String envelopedFile,
            String encContentFile, String dataFile);
    public native int CMS_MakeEncryptedData(int symAlg, byte[] key, byte[] iv, byte[] data);
    public native int _CMS_ProcessEncryptedData(byte[] key, byte[] encryptedData);
    public native int _CMS_MakeSignedAndEnvData(byte[] cert, byte[] priKey, byte[] recipientCert, byte[] data,
            int symAlg, int hashAlg);
    /** The content into {@link #baReturnArray}, the signer into {@link #signers}. */
    public native int _CMS_ProcessSignedAndEnvData(byte[] cert, byte[] priKey, byte[] message);

    // ---- storage media. libPath: a storage plug-in loaded for the call (mediaType 2), empty for disk files
    // (mediaType 1, info the file path); dataType 1, 2, 16 or 32; keys cross decrypted and are kept encrypted.
    /** The certificate into {@link #baReturnArray}. */
    public native int STORAGE_ReadCert(String libPath, int mediaType, String info, int dataType);
    /** The decrypted private key into {@link #baReturnArray} (password empty: stored decrypted). */
    public native int STORAGE_ReadPriKey(String libPath, int mediaType, String info, String password, int dataType);
    public native int STORAGE_WriteCert(String libPath, int mediaType, String info, int dataType, byte[] cert);
    /** symAlg: the protection algorithm (QELT_SYM_* code) of the stored key. */
    public native int STORAGE_WritePriKey(String libPath, int mediaType, String info, String password, int dataType,
            int symAlg, byte[] priKey);
    public native int STORAGE_DeleteCert(String libPath, int mediaType, String info, int dataType);
    /** The password is checked (the key read and decrypted) before the key is deleted. */
    public native int STORAGE_DeletePriKey(String libPath, int mediaType, String info, String password, int dataType);

    // ---- time-stamp protocol. hashAlg 1 SHA-1, 2 MD5, 3 HAS-160, 4 SHA-256; sign 1: the request signed with
    // cert and the decrypted priKey.
    /** The whole exchange: the request made, sent to ip:port, the answer checked; the token into baReturnArray. */
    public native int _TSP_GetToken(String confFile, byte[] doc, int hashAlg, String policy, int sign, byte[] cert,
            byte[] priKey, String ip, int port);
    /** The request message into {@link #baReturnArray}. */
    public native int _TSP_MakeReqMsg(byte[] doc, int hashAlg, String policy, int sign, byte[] cert, byte[] priKey);
    /** The TSA's response message into {@link #baReturnArray}. */
    public native int _TSP_SendAndRecv(String ip, int port, byte[] reqMsg);
    /**
     * Checks a response against the request this call remembers: as no request survives between two natives,
     * a response that passes every other check is refused with 1610 (use {@link #_TSP_GetToken}).
     */
    public native int _TSP_VerifyResMsg(byte[] resMsg);
    /** Checks a token against the document; the TSA certificate into {@link #baReturnArray}. */
    public native int _TSP_VerifyToken(byte[] doc, byte[] token);
    /**
     * The token's fields into {@link #sReturnString}, one per line ("\r\n"): the TSA's CN and DN, the policy,
     * the hash algorithm, the hash, the serial number, the generation time and the nonce; see {@link #tokenInfo}.
     */
    public native int _TSP_GetTokenInfo(byte[] token);

    /** The eight lines of the last {@link #_TSP_GetTokenInfo}. */
    public String[] tokenInfo() {
        return sReturnString == null ? new String[0] : sReturnString.split("\r\n", -1);
    }

    // ---- identity verification
    /** 0 when idn and the key's random number give the certificate's virtual identifier. */
    public native int VID_Verify(byte[] cert, byte[] random, String idn);
    /**
     * Asks the identity-verification server of confFile's [IVS] section whether cert belongs to idn; svrKmCert
     * and svrSignCert, when given, are the server's certificates (else the cache and the directory).
     */
    public native int VID_VerifyByIVS(String confFile, byte[] cert, byte[] myCert, String idn, byte[] svrKmCert,
            byte[] svrSignCert);
    /**
     * Asks the server whether cert is valid. svrSignCert, when given, is the server's signing certificate: it
     * is stored as the work directory's cached copy (cache/IVS/IVS_SignCert.der) before the question.
     */
    public native int CERT_VerifyByIVS(String confFile, byte[] cert, byte[] myCert, byte[] svrSignCert);

    // ---- challenge-response authentication
    /** A server's challenge into {@link #baReturnArray}. */
    public native int _SIGEA_MakeChallenge();
    /** The client's signed response to a challenge into {@link #baReturnArray}. */
    public native int _SIGEA_MakeResponse(byte[] challenge, byte[] cert, byte[] priKey);
    /** Checks a response to the challenge this server issued; the client's certificate into baReturnArray. */
    public native int _SIGEA_VerifyResponse(byte[] response, byte[] challenge);

    // ---- WAP messages
    /** A SignedContent into {@link #baReturnArray}; signingTime "YYYYMMDDhhmmss" or empty for now. */
    public native int _WCMS_MakeSignedContent(byte[] cert, byte[] priKey, byte[] data, String signingTime);
    /** The content into {@link #baReturnArray}; the signer (certificate, signing time) into {@link #signers}. */
    public native int _WCMS_ProcessSignedContent(byte[] signedContent);
    /** symAlg: 3DES, SEED or NEAT (CBC); an RSA recipient of at most 2040 bits. */
    public native int _WCMS_MakeWapEnvelopedData(byte[] recCert, byte[] data, int symAlg);
    public native int _WCMS_ProcessWapEnvelopedData(byte[] cert, byte[] priKey, byte[] wapEnvelopedData);

    // ---- certificate verification (the CA bundle is capubs when set; caches under the work directory)
    /**
     * Validates a certificate completely (path, trust, policies, revocation) in one call, taking the whole
     * environment a fresh context needs, in the order of the steps: the verification environment (scope 1,
     * or 9 for the strict end-entity check; revocationOption 1 all, or the bits 2 CAs by ARL, 4 the target
     * by CRL, 8 the target by OCSP, 16 none; useCache; validationTime "YYYYMMDDhhmmss[Z]"; ocspUrl; 0 or
     * empty keep the defaults), the trusted roots (a certificate list as {@link #CERT_AddCert} builds it, or
     * one certificate), the password of an encrypted myPriKey and the hash (0: default) of signed OCSP
     * requests, then the certificate (certType 1 signing, 2 key management, 3 OCSP, 4 time-stamping), the
     * initial policy set (dotted OIDs joined by ";", empty: the configuration's), the configuration file, and
     * signOcspReq with the requester's certificate and key. 0 valid, 1214 on hold, 1215 revoked, 1222 unknown
     * to the OCSP responder; other codes name the failed check.
     */
    public native int CERT_Verify(int scope, int revocationOption, int useCache, String validationTime,
            String ocspUrl, byte[] trustedCerts, String myPriKeyPassword, int hashAlg, byte[] cert, int certType,
            String ips, String confFile, int signOcspReq, byte[] myCert, byte[] myPriKey);
    /**
     * Looks the certificate up in its issuer's CRL (bundle from capubs, else the cache or the directory of
     * confFile): 0 whether good or listed; {@link #nReturnInt} the CRL reason (-1 when good) and
     * {@link #sReturnString} the revocation time "YYYYMMDDhhmmssZ" ("" when good).
     */
    public native int _CERT_CheckStatByCRL(byte[] cert);
    /** Not supported in this build: 1007 (certificate status by OCSP is part of {@link #CERT_Verify}). */
    public native int _CERT_CheckStatByOCSP(byte[] cert, byte[] issuerCert, String ocspUrl, String confFile);
}
