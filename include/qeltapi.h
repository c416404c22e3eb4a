/*
 * qeltapi: PKI toolkit (certificates, CMS messages, private keys, national and
 * international algorithms, online services).
 *
 * Every function returns 0 on success or one of the QELT_ERR_* codes below.
 * Call QELT_API_Init first; every other function takes the context it made.
 * After a failure, QELT_API_GetErrInfo returns the detail message of the call.
 * Texts handed in and out are NUL-terminated CP949 byte strings; bytes travel
 * in BINSTR records that the caller releases with QELT_BINSTR_Delete.
 */
#ifndef QELTAPI_H
#define QELTAPI_H

#include <time.h>

#if defined(_WIN32)
#define QELT_EXPORT __declspec(dllexport)
#else
#define QELT_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Byte record: pVal points to nLen bytes (records filled by the library hold
   one more byte, a NUL that nLen does not count). */
typedef struct {
    unsigned char* pVal;
    int nLen;
} BINSTR;

/* ---------------------------------------------------------------- result codes */
#define QELT_OK 0

/* API frame */
#define QELT_ERR_ALREADY_INITIALIZED 1000
#define QELT_ERR_NOT_INITIALIZED 1001
#define QELT_ERR_NO_WORK_DIR 1002
#define QELT_ERR_MEMORY 1003
#define QELT_ERR_BUFFER_TOO_SMALL 1004
#define QELT_ERR_NO_ERROR_INFO 1005
#define QELT_ERR_INVALID_ARGUMENT 1006
#define QELT_ERR_NOT_SUPPORTED_FUNCTION 1007
#define QELT_ERR_SERVER_TIMEOUT 1008

/* certificates, CRLs, CTLs, OCSP, path validation */
#define QELT_ERR_CERT_INVALID 1200
#define QELT_ERR_CERT_NOT_LOADED 1201
#define QELT_ERR_CERT_FIELD_ABSENT 1202
#define QELT_ERR_CERT_EXPIRED 1203
#define QELT_ERR_CERT_LIST_FAILED 1204
#define QELT_ERR_CERT_INDEX_RANGE 1205
#define QELT_ERR_CERT_LIST_BAD_CERT 1206
#define QELT_ERR_CERT_NO_CRL_DP 1207
#define QELT_ERR_CERT_BAD_CRL_DP 1208
#define QELT_ERR_CRL_NOT_CRL 1209
#define QELT_ERR_CTL_NO_SIGNER_CERT 1210
#define QELT_ERR_CRL_INVALID 1211
#define QELT_ERR_CRL_EXPIRED 1212
#define QELT_ERR_CRL_BAD_VALIDITY 1213
#define QELT_ERR_CERT_SUSPENDED 1214
#define QELT_ERR_CERT_REVOKED 1215
#define QELT_ERR_OCSP_CONNECT 1216
#define QELT_ERR_OCSP_SEND 1217
#define QELT_ERR_OCSP_RECV 1218
#define QELT_ERR_OCSP_MAKE_REQUEST 1219
#define QELT_ERR_OCSP_BAD_RESPONSE 1220
#define QELT_ERR_OCSP_NOT_SUCCESSFUL 1221
#define QELT_ERR_OCSP_UNKNOWN_CERT 1222
#define QELT_ERR_PATH_SAVE 1223
#define QELT_ERR_PATH_BUILD 1224
#define QELT_ERR_NO_TRUST_ANCHOR 1225
#define QELT_ERR_CONF_READ 1226
#define QELT_ERR_CTL_NO_LOCATION 1227
#define QELT_ERR_CTL_FETCH 1228
#define QELT_ERR_CTL_SAVE 1229
#define QELT_ERR_CTL_INVALID 1230
#define QELT_ERR_CTL_UNTRUSTED_ISSUER 1231
#define QELT_ERR_PATH_UNTRUSTED_ROOT 1232
#define QELT_ERR_PATH_VALIDATION 1233
#define QELT_ERR_PATH_VALIDITY 1234
#define QELT_ERR_PATH_KEY_USAGE 1235
#define QELT_ERR_PATH_BASIC_CONSTRAINTS 1236
#define QELT_ERR_PATH_NAME_CONSTRAINTS 1237
#define QELT_ERR_PATH_POLICY 1238
#define QELT_ERR_OCSP_NO_URL 1239
#define QELT_ERR_CRL_SAVE 1240
#define QELT_ERR_OCSP_NO_CERT 1241
#define QELT_ERR_TIME_FORMAT 1242
#define QELT_ERR_PATH_FETCH 1243
#define QELT_ERR_TIME_FORMAT2 1244
#define QELT_ERR_CERT_NOT_CERT 1245
#define QELT_ERR_CTL_NOT_CTL 1246
#define QELT_ERR_CERT_LIST_NOT_LIST 1247
#define QELT_ERR_CERT_RENEWAL_DUE 1248
#define QELT_ERR_CTL_EXPIRED 1249
#define QELT_ERR_CTL_NOT_YET_VALID 1250
#define QELT_ERR_CRL_FETCH 1251

/* private keys */
#define QELT_ERR_PRIKEY_INVALID 1300
#define QELT_ERR_PRIKEY_PASSWORD 1301
#define QELT_ERR_PRIKEY_ENCRYPT 1302
#define QELT_ERR_KEYPAIR_MISMATCH 1303
#define QELT_ERR_ENCPRIKEY_INVALID 1304
#define QELT_ERR_PRIKEY_NOT_PRIKEY 1305
#define QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY 1306

/* storage media, files, dynamic libraries */
#define QELT_ERR_STORAGE_READ_CERT 1400
#define QELT_ERR_STORAGE_READ_KEY 1401
#define QELT_ERR_FILE_READ 1402
#define QELT_ERR_FILE_WRITE 1403
#define QELT_ERR_FILE_EMPTY 1404
#define QELT_ERR_STORAGE_UNSUPPORTED 1405
#define QELT_ERR_DYNLIB_NOT_LOADED 1406
#define QELT_ERR_DYNLIB_ALREADY_LOADED 1407
#define QELT_ERR_DYNLIB_LOAD 1408
#define QELT_ERR_DYNLIB_UNLOAD 1409
#define QELT_ERR_DYNLIB_SYMBOL 1410
#define QELT_ERR_FILE_DELETE 1411
#define QELT_ERR_STORAGE_WRITE_CERT 1412
#define QELT_ERR_STORAGE_WRITE_KEY 1413
#define QELT_ERR_SMARTCARD_ABSENT 1414
#define QELT_ERR_PIN 1415
#define QELT_ERR_FILE_SEEK_END 1416
#define QELT_ERR_FILE_SEEK_START 1417
#define QELT_ERR_FILE_READ_SIZE 1418
#define QELT_ERR_FILE_CREATE 1419
#define QELT_ERR_FILE_TOO_LARGE 1420

/* CMS messages */
#define QELT_ERR_SIGNED_INVALID 1500
#define QELT_ERR_SIGNED_MAKE 1501
#define QELT_ERR_ENVELOPED_INVALID 1502
#define QELT_ERR_ENVELOPED_MAKE 1503
#define QELT_ERR_SIGNENV_INVALID 1504
#define QELT_ERR_SIGNENV_MAKE 1505
#define QELT_ERR_NO_SIGNER_CERT 1506
#define QELT_ERR_CERT_CANNOT_DECRYPT 1507
#define QELT_ERR_BAD_RECIPIENT_CERT 1508
#define QELT_ERR_BAD_SIGNER_CERT 1509
#define QELT_ERR_NOT_SIGNING_CERT 1510
#define QELT_ERR_NOT_ENCRYPTION_CERT 1511
#define QELT_ERR_NOT_SIGNED 1512
#define QELT_ERR_NOT_ENVELOPED 1513
#define QELT_ERR_NOT_SIGNENV 1514
#define QELT_ERR_NOT_ENCRYPTED 1515
#define QELT_ERR_ENCRYPTED_INVALID 1516
#define QELT_ERR_ENCRYPTED_MAKE 1517
#define QELT_ERR_SIGNER_INFO_INVALID 1518
#define QELT_ERR_WAP_SIGNED_INVALID 1519
#define QELT_ERR_WAP_SIGNED_MAKE 1520
#define QELT_ERR_WAP_ENVELOPED_INVALID 1521
#define QELT_ERR_WAP_ENVELOPED_MAKE 1522
#define QELT_ERR_SIGNER_INFO_TYPE 1523
#define QELT_ERR_TBS_NOT_MADE 1524
#define QELT_ERR_NO_TIMESTAMP_TOKEN 1525
#define QELT_ERR_NO_SIGNER_CAPUBS 1526

/* time-stamp protocol */
#define QELT_ERR_TSP_MAKE_REQUEST 1600
#define QELT_ERR_TSP_CONNECT 1601
#define QELT_ERR_TSP_SEND 1602
#define QELT_ERR_TSP_RECV 1603
#define QELT_ERR_TSP_NOT_RESPONSE 1604
#define QELT_ERR_TSP_BAD_RESPONSE 1605
#define QELT_ERR_TSP_BAD_TOKEN 1606
#define QELT_ERR_TSP_NOT_GRANTED 1607
#define QELT_ERR_TSP_TOKEN_NOT_SIGNED 1608
#define QELT_ERR_TSP_NOT_RESPONSE2 1609
#define QELT_ERR_TSP_NO_REQUEST 1610
#define QELT_ERR_TSP_IMPRINT_MISMATCH 1611
#define QELT_ERR_TSP_NOT_OUR_RESPONSE 1612
#define QELT_ERR_TSP_POLICY 1613
#define QELT_ERR_TSP_WRONG_DOCUMENT 1614

/* identity verification data */
#define QELT_ERR_VID_NOT_OWNER 1700
#define QELT_ERR_VID_NO_INFO 1701
#define QELT_ERR_VID_NO_RANDOM 1702

/* cryptography */
#define QELT_ERR_SYM_ALGORITHM 1800
#define QELT_ERR_KEY_LENGTH 1801
#define QELT_ERR_IV_LENGTH 1802
#define QELT_ERR_HASH_ALGORITHM 1803
#define QELT_ERR_MAC_ALGORITHM 1804
#define QELT_ERR_NO_KEY_AND_IV 1805
#define QELT_ERR_ENCRYPT 1806
#define QELT_ERR_DECRYPT 1807
#define QELT_ERR_KCDSA_NEEDS_CERT 1808
#define QELT_ERR_SIGN 1809
#define QELT_ERR_VERIFY 1810
#define QELT_ERR_DIGEST 1811
#define QELT_ERR_MAC_VERIFY 1812
#define QELT_ERR_MAC_GENERATE 1813
#define QELT_ERR_KEYPAIR_CHECK 1814
#define QELT_ERR_RANDOM 1815
#define QELT_ERR_ALGORITHM 1816
#define QELT_ERR_KEY_TYPE 1817
#define QELT_ERR_PUBLIC_KEY 1818

/* Base64 */
#define QELT_ERR_BASE64_ENCODE 1900
#define QELT_ERR_BASE64_DECODE 1901

/* LDAP */
#define QELT_ERR_LDAP_URL_SCHEME 2000
#define QELT_ERR_LDAP_URL_PROTOCOL 2001
#define QELT_ERR_LDAP_NO_ATTRIBUTE 2002
#define QELT_ERR_UNSUPPORTED_TYPE 2003
#define QELT_ERR_LDAP_INIT 2004
#define QELT_ERR_LDAP_BIND 2005
#define QELT_ERR_LDAP_SET_OPTION 2006
#define QELT_ERR_LDAP_SEARCH 2007
#define QELT_ERR_LDAP_NO_ENTRY 2008
#define QELT_ERR_LDAP_NO_VALUES 2009
#define QELT_ERR_LDAP_CRL_BY_CERT 2010
#define QELT_ERR_LDAP_NO_ISSUER_INFO 2011
#define QELT_ERR_LDAP_NO_ISSUER_CERT 2012
#define QELT_ERR_LDAP_CONF 2013
#define QELT_ERR_LDAP_GET_DN 2014
#define QELT_ERR_LDAP_MULTIPLE_DN 2015

/* identity-verification server */
#define QELT_ERR_IVS_CONNECT 2100
#define QELT_ERR_IVS_SEND 2101
#define QELT_ERR_IVS_RECV 2102
#define QELT_ERR_IVS_BAD_RESPONSE 2103
#define QELT_ERR_IVS_UNSUPPORTED_CERT 2104
#define QELT_ERR_IVS_INTERNAL 2105
#define QELT_ERR_IVS_REVOKED_REQUESTER 2106
#define QELT_ERR_IVS_REQUESTER_TRUST 2107
#define QELT_ERR_IVS_NO_PERMISSION 2109
#define QELT_ERR_IVS_BAD_REQUEST 2110
#define QELT_ERR_IVS_UNKNOWN_CODE 2111
#define QELT_ERR_IVS_NO_IP 2112
#define QELT_ERR_IVS_NO_PORT 2113
#define QELT_ERR_IVS_NO_CERT_LOCATION 2114
#define QELT_ERR_IVS_KM_CERT 2115
#define QELT_ERR_IVS_SIGN_CERT 2116
#define QELT_ERR_IVS_SIGN_CERT_UNTRUSTED 2117

/* PFX */
#define QELT_ERR_PFX_MAKE 2200
#define QELT_ERR_PFX_PROCESS 2201

/* challenge-response authentication */
#define QELT_ERR_SIGEA_BAD_CHALLENGE 4000
#define QELT_ERR_SIGEA_MAKE_RESPONSE 4001
#define QELT_ERR_SIGEA_BAD_RESPONSE 4002

/* key sharing and PEM */
#define QELT_ERR_KEY_SHARE 4100
#define QELT_ERR_KEY_UNITE 4101
#define QELT_ERR_PEM_ENCODE 4105
#define QELT_ERR_PEM_DECODE 4106

/* Java bindings */
#define QELT_ERR_JNI_FIELD 5000
#define QELT_ERR_JNI_NULL_INPUT 5001
#define QELT_ERR_JNI_METHOD 5002
#define QELT_ERR_JNI_MEMORY 5003
#define QELT_ERR_JNI_CLASS 5004

/* PKCS#11 token layer: 8000 + the token's CKR_ value where one is passed on */
#define QELT_ERR_HSM_BASE 8000
#define QELT_ERR_HSM_SESSION_CLOSED 8021
#define QELT_ERR_HSM_NOT_LOGGED_IN 8024
#define QELT_ERR_HSM_NO_SESSION 8027

/* ---------------------------------------------------------------- option word */
#define QELT_OPT_RSA_PKCS1 0x01
#define QELT_OPT_RSA_OAEP 0x02
#define QELT_OPT_NO_PADDING 0x10
#define QELT_OPT_PADDING 0x20
#define QELT_OPT_CMS_BARE 0x100
#define QELT_OPT_CMS_CONTENTINFO 0x200
#define QELT_OPT_CMS_ADD_CACERTS 0x400

/* ---------------------------------------------------------------- API frame */
QELT_EXPORT int QELT_API_Init(void** ppCtx, const char* pszWorkDir);
QELT_EXPORT int QELT_API_Finish(void** ppCtx);
QELT_EXPORT int QELT_API_GetErrInfo(void* pCtx, int nBufLen, char* pszErrInfo);
QELT_EXPORT int QELT_API_GetVersion(void* pCtx, int nBufLen, char* pszVersion);
QELT_EXPORT int QELT_API_GetInfo(void* pCtx, int nBufLen, char* pszAPIInfo);
QELT_EXPORT int QELT_API_SetOption(void* pCtx, int nOption);
QELT_EXPORT int QELT_API_SetConfFile(void* pCtx, const char* pszConfFilePath);
QELT_EXPORT int QELT_API_SetCaPubs(void* pCtx, BINSTR* pCaPubs);
QELT_EXPORT int QELT_API_FreeCaPubs(void* pCtx);
QELT_EXPORT int QELT_API_Str2Time(void* pCtx, const char* pszTime, time_t* pTime);
QELT_EXPORT int QELT_API_SetHashAlgo(void* pCtx, int nHashAlg);

/* ---------------------------------------------------------------- BINSTR */
QELT_EXPORT int QELT_BINSTR_Create(BINSTR* pBinStr);
QELT_EXPORT int QELT_BINSTR_Delete(BINSTR* pBinStr);
QELT_EXPORT int QELT_BINSTR_SetData(const unsigned char* pData, int nDataLen, BINSTR* pBinStr);

/* ---------------------------------------------------------------- profile files */
QELT_EXPORT int QELT_UTIL_GetProfileInt(void* pCtx, char* pszPath, char* pszSection, char* pszEntry, int* pOut);
QELT_EXPORT int QELT_UTIL_GetProfileString(void* pCtx, char* pszPath, char* pszSection, char* pszEntry,
                                           int nBuffSize, char* pszBuff);
QELT_EXPORT int QELT_UTIL_SetProfileInt(void* pCtx, char* pszPath, char* pszSection, char* pszEntry, int nIn);
QELT_EXPORT int QELT_UTIL_SetProfileString(void* pCtx, char* pszPath, char* pszSection, char* pszEntry,
                                           char* pszIn);

/* ---------------------------------------------------------------- Base64 and PEM */
/* PEM types of QELT_PEM_Encode */
#define QELT_PEM_TYPE_NONE 0
#define QELT_PEM_TYPE_CERTIFICATE 1
#define QELT_PEM_TYPE_WTLS_CERTIFICATE 2
#define QELT_PEM_TYPE_CRL 3
#define QELT_PEM_TYPE_PKCS7 4
#define QELT_PEM_TYPE_PKCS7_2 5

QELT_EXPORT int QELT_BASE64_Encode(void* pCtx, BINSTR* pData, BINSTR* pEncData);
QELT_EXPORT int QELT_BASE64_Decode(void* pCtx, BINSTR* pEncData, BINSTR* pData);
QELT_EXPORT int QELT_PEM_Encode(void* pCtx, int nType, BINSTR* pData, BINSTR* pEncData);
QELT_EXPORT int QELT_PEM_Decode(void* pCtx, BINSTR* pEncData, BINSTR* pData);

/* ---------------------------------------------------------------- whole files */
QELT_EXPORT int QELT_STORAGE_ReadFile(void* pCtx, char* pszFilePath, BINSTR* pData);
QELT_EXPORT int QELT_STORAGE_WriteFile(void* pCtx, char* pszFilePath, BINSTR* pData);

/* ---------------------------------------------------------------- cryptography: hashes and symmetric ciphers */
/* Hash codes of QELT_CRYPT_Hash (and QELT_API_SetHashAlgo) */
#define QELT_HASH_SHA1 1
#define QELT_HASH_MD5 2
#define QELT_HASH_HAS160 3
#define QELT_HASH_SHA256 4
/* Session cipher codes (all in CBC mode) */
#define QELT_SYM_DES 0x10
#define QELT_SYM_3DES 0x20
#define QELT_SYM_SEED 0x30
#define QELT_SYM_NEAT 0x40
#define QELT_SYM_ARIA 0x50

QELT_EXPORT int QELT_CRYPT_Hash(void* pCtx, int nAlg, BINSTR* pTBHData, BINSTR* pDigest);
QELT_EXPORT int QELT_CRYPT_GenKeyAndIV(void* pCtx, int nSymAlg);
QELT_EXPORT int QELT_CRYPT_SetKeyAndIV(void* pCtx, int nSymAlg, BINSTR* pKey, BINSTR* pIV);
QELT_EXPORT int QELT_CRYPT_GetKeyAndIV(void* pCtx, int* pSymAlg, BINSTR* pKey, BINSTR* pIV);
QELT_EXPORT int QELT_CRYPT_ClearKeyAndIV(void* pCtx);
QELT_EXPORT int QELT_CRYPT_Encrypt(void* pCtx, BINSTR* pPlainText, BINSTR* pCipherText);
QELT_EXPORT int QELT_CRYPT_Decrypt(void* pCtx, BINSTR* pCipherText, BINSTR* pPlainText);
QELT_EXPORT int QELT_CRYPT_Encrypt_File(void* pCtx, const char* pszPlainTextFile, const char* pszCipherTextFile);
QELT_EXPORT int QELT_CRYPT_Decrypt_File(void* pCtx, const char* pszCipherTextFile, const char* pszPlainTextFile);

/* ---- further families are declared below, one section each ---- */

/* ---------------------------------------------------------------- cryptography: random numbers, MAC, key sharing */
/* MAC algorithms of QELT_CRYPT_GenMAC / QELT_CRYPT_VerifyMAC */
#define QELT_MAC_HMAC_SHA1 1
#define QELT_MAC_HMAC_MD5 2
#define QELT_MAC_HMAC_SHA256 3

/* nLen random bytes into pRandom. Each call draws two blocks and refuses
   (1815) when they are equal; the context is then disabled and every later
   call with it returns 1001 until it is finished and initialised again. */
QELT_EXPORT int QELT_CRYPT_GenRandom(void* pCtx, int nLen, BINSTR* pRandom);
/* HMAC of pTBMData; the key is the text pszKey without its terminating NUL. */
QELT_EXPORT int QELT_CRYPT_GenMAC(void* pCtx, int nAlg, const char* pszKey, BINSTR* pTBMData, BINSTR* pMAC);
/* 0 when pMAC is the HMAC of pData under pszKey, else 1812. */
QELT_EXPORT int QELT_CRYPT_VerifyMAC(void* pCtx, int nAlg, const char* pszKey, BINSTR* pData, BINSTR* pMAC);
/* Splits pKey into nShareCnt shares (pSharedKey: an array of nShareCnt
   BINSTR records), any nRequireCnt of which restore it. Each share is twice
   as long as the key. At most 64 shares. */
QELT_EXPORT int QELT_KEY_Share(void* pCtx, BINSTR* pKey, int nShareCnt, int nRequireCnt, BINSTR* pSharedKey);
/* Restores a key from nSharedCnt shares of one split (pSharedKey: an array). */
QELT_EXPORT int QELT_KEY_Unite(void* pCtx, BINSTR* pSharedKey, int nSharedCnt, BINSTR* pKey);

/* ---------------------------------------------------------------- private keys: password protection */
/* Encrypts a DER PrivateKeyInfo under pszPasswd. nAlg: QELT_SYM_DES, _3DES,
   _SEED, _ARIA (PBES2, PBKDF2 with HMAC-SHA-1, 1024 iterations) or
   QELT_SYM_NEAT (PBES1 shape with the PKCS#12 derivation). The salt follows
   from password and key, so the output is reproducible. */
QELT_EXPORT int QELT_PRIKEY_Encrypt(void* pCtx, int nAlg, char* pszPasswd, BINSTR* pPriKey, BINSTR* pEncPriKey);
/* Decrypts a DER EncryptedPrivateKeyInfo into the DER PrivateKeyInfo. A wrong
   password gives 1301; input that is not an encrypted key gives 1306. */
QELT_EXPORT int QELT_PRIKEY_Decrypt(void* pCtx, char* pszPasswd, BINSTR* pEncPriKey, BINSTR* pPriKey);
/* Re-encrypts an encrypted key under a new password with the same scheme. */
QELT_EXPORT int QELT_PRIKEY_ChangePasswd(void* pCtx, char* pszOldPasswd, char* pszNewPasswd, BINSTR* pEncPriKey,
                                         BINSTR* pNewPriKey);
/* The random value kept in the key's attribute "1 2 410 200004 10 1 1 3". */
QELT_EXPORT int QELT_VID_GetRandomFromPriKey(void* pCtx, BINSTR* pPriKey, BINSTR* pRandom);

/* ---------------------------------------------------------------- certificates: information and lists */
/* One certificate is loaded into the context at a time; the getters read its
   fields as CP949 display texts ("\r\n" between lines) into caller buffers of
   nBufLen bytes (1004 with the size needed when too small). Before a load
   they return 1201; an absent extension gives 1202 with the field's message. */
QELT_EXPORT int QELT_CERT_Load(void* pCtx, BINSTR* pCert);
QELT_EXPORT int QELT_CERT_Unload(void* pCtx);
QELT_EXPORT int QELT_CERT_GetUID(void* pCtx, int nBufLen, char* pszUID);
QELT_EXPORT int QELT_CERT_GetVersion(void* pCtx, int* pVersion);
QELT_EXPORT int QELT_CERT_GetSerialNum(void* pCtx, int nBufLen, char* pszSerialNum);
QELT_EXPORT int QELT_CERT_GetSerialNum2(void* pCtx, BINSTR* pSerialNum);
QELT_EXPORT int QELT_CERT_GetSignatureAlgorithm(void* pCtx, int nBufLen, char* pszSignAlg);
QELT_EXPORT int QELT_CERT_GetIssuerName(void* pCtx, int nBufLen, char* pszIssuerName);
QELT_EXPORT int QELT_CERT_GetSubjectName(void* pCtx, int nBufLen, char* pszSubjectName);
QELT_EXPORT int QELT_CERT_GetNotBefore(void* pCtx, time_t* pTime);
QELT_EXPORT int QELT_CERT_GetNotAfter(void* pCtx, time_t* pTime);
/* "YYYY-MM-DD hh:mm:ss ~ YYYY-MM-DD hh:mm:ss" in the machine's local time. */
QELT_EXPORT int QELT_CERT_GetValidity(void* pCtx, int nBufLen, char* pszValidity);
QELT_EXPORT int QELT_CERT_GetPubKeyAlg(void* pCtx, int nBufLen, char* pszAlg);
QELT_EXPORT int QELT_CERT_GetPubKeyLen(void* pCtx, int nBufLen, char* pszLen);
/* pszKeyAlg: a caller buffer of 50 bytes. */
QELT_EXPORT int QELT_CERT_GetSubjectPubKeyInfo(void* pCtx, char* pszKeyAlg, BINSTR* pPubKeyInfo);
QELT_EXPORT int QELT_CERT_GetPubKey(void* pCtx, int nBufLen, char* pszPubKey);
QELT_EXPORT int QELT_CERT_GetSignature(void* pCtx, int nBufLen, char* pszSignature);
QELT_EXPORT int QELT_CERT_GetKeyUsage(void* pCtx, int nBufLen, char* pszKeyUsage);
QELT_EXPORT int QELT_CERT_GetBasicConstraints(void* pCtx, int nBufLen, char* pszBasicConstraints);
QELT_EXPORT int QELT_CERT_GetCertPolicy(void* pCtx, int nBufLen, char* pszCertPolicy);
QELT_EXPORT int QELT_CERT_GetCertPolicyID(void* pCtx, int nBufLen, char* pszCertPolicyID);
QELT_EXPORT int QELT_CERT_GetExtKeyUsage(void* pCtx, int nBufLen, char* pszExtKeyUsage);
QELT_EXPORT int QELT_CERT_GetSubjectAltName(void* pCtx, int nBufLen, char* pszSubAltName);
QELT_EXPORT int QELT_CERT_GetAuthKeyID(void* pCtx, int nBufLen, char* pszAKI);
QELT_EXPORT int QELT_CERT_GetSubKeyID(void* pCtx, int nBufLen, char* pszSKI);
QELT_EXPORT int QELT_CERT_GetCRLDP(void* pCtx, int nBufLen, char* pszCRLDP);
QELT_EXPORT int QELT_CERT_GetAIA(void* pCtx, int nBufLen, char* pszAIA);
/* *pRemainDays: on entry the warning threshold in days, on return the days of
   validity left (rounded up). 1248 with a renewal message when fewer remain
   than the threshold; 1203 when the certificate has expired. */
QELT_EXPORT int QELT_CERT_GetRemainDays(void* pCtx, BINSTR* pCert, int* pRemainDays);
/* Certificate lists: a DER SEQUENCE OF Certificate. AddCert appends pCert to
   the list in pCerts (an empty pCerts starts one) and writes the list back. */
QELT_EXPORT int QELT_CERT_AddCert(void* pCtx, BINSTR* pCert, BINSTR* pCerts);
QELT_EXPORT int QELT_CERT_GetCertCount(void* pCtx, BINSTR* pCerts, int* pCnt);
/* nIndex is 0-based. */
QELT_EXPORT int QELT_CERT_GetCert(void* pCtx, BINSTR* pCerts, int nIndex, BINSTR* pCert);

/* ---------------------------------------------------------------- cryptography: signatures and public-key encryption */
/* Hash codes (nHashAlg): 1 SHA-1, 2 MD5, 3 HAS-160, 4 SHA-256. Private keys are
   DER PrivateKeyInfo (decrypted); pCert a DER certificate; pPubKeyInfo a DER
   SubjectPublicKeyInfo. KCDSA signing needs the certificate / public key. */
QELT_EXPORT int QELT_CRYPT_Sign(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, int nHashAlg, BINSTR* pTBSData,
                                BINSTR* pSignature);
QELT_EXPORT int QELT_CRYPT_Sign2(void* pCtx, BINSTR* pPubKeyInfo, BINSTR* pPriKey, int nHashAlg, BINSTR* pTBSData,
                                 BINSTR* pSignature);
QELT_EXPORT int QELT_CRYPT_Sign_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, int nHashAlg,
                                     const char* pszDataFilePath, const char* pszSignatureFilePath);
QELT_EXPORT int QELT_CRYPT_Verify(void* pCtx, BINSTR* pCert, int nHashAlg, BINSTR* pData, BINSTR* pSignature);
QELT_EXPORT int QELT_CRYPT_Verify2(void* pCtx, BINSTR* pPubKeyInfo, int nHashAlg, BINSTR* pData, BINSTR* pSignature);
QELT_EXPORT int QELT_CRYPT_Verify_File(void* pCtx, BINSTR* pCert, int nHashAlg, const char* pszDataFilePath,
                                       const char* pszSignatureFilePath);
/* nKeyType: 1 private key (PKCS#1 v1.5 block type 01 / 02), 2 certificate or
   public key. Public-key encryption and private-key decryption use RSAES-OAEP
   while the option word holds 0x02 (the default). */
#define QELT_KEYTYPE_PRIVATE 1
#define QELT_KEYTYPE_PUBLIC 2
QELT_EXPORT int QELT_CRYPT_AsymEncrypt(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pTBEData, BINSTR* pEncData);
QELT_EXPORT int QELT_CRYPT_AsymEncrypt2(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pTBEData, BINSTR* pEncData);
QELT_EXPORT int QELT_CRYPT_AsymDecrypt(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pEncData, BINSTR* pData);
QELT_EXPORT int QELT_CRYPT_AsymDecrypt2(void* pCtx, int nKeyType, BINSTR* pKey, BINSTR* pEncData, BINSTR* pData);
/* 0 when the private key belongs to the certificate, else 1303. */
QELT_EXPORT int QELT_PRIKEY_CheckKeyPair(void* pCtx, BINSTR* pCert, BINSTR* pPriKey);
/* Algorithm name ("RSA", "KCDSA", "ECC", "Unknown") into pszAlgName (52 bytes)
   and size ("1024 Bits", "WTLS 7", "Unknown"...) into pszKeySize (50 bytes). */
QELT_EXPORT int QELT_PRIKEY_GetKeyInfo(void* pCtx, BINSTR* pPriKey, char* pszAlgName, char* pszKeySize);
QELT_EXPORT int QELT_PUBKEY_GetKeyInfo(void* pCtx, BINSTR* pPubKey, char* pszAlgName, char* pszKeySize);

/* ---- CMS: EnvelopedData and EncryptedData ----
   nSymAlg: QELT_SYM_DES, _3DES, _SEED, _NEAT or _ARIA (always CBC). The RSA
   key transport uses RSAES-OAEP while the option word holds QELT_OPT_RSA_OAEP
   (the default) and PKCS#1 v1.5 otherwise; QELT_OPT_CMS_CONTENTINFO wraps the
   EnvelopedData in a ContentInfo. Making and opening a message leave its key
   and IV as the context's current symmetric key (QELT_CRYPT_Encrypt,
   QELT_CMS_MakeEncryptedData). pCerts is a certificate list (QELT_CERT_AddCert). */
QELT_EXPORT int QELT_CMS_MakeEnvelopedData(void* pCtx, BINSTR* pCert, BINSTR* pTBEData, int nSymAlg,
                                           BINSTR* pEnvelopedData);
QELT_EXPORT int QELT_CMS_MakeEnvelopedDataWithMultiRecipients(void* pCtx, BINSTR* pCerts, BINSTR* pTBEData,
                                                              int nSymAlg, BINSTR* pEnvelopedData);
QELT_EXPORT int QELT_CMS_ProcessEnvelopedData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pEnvelopedData,
                                              BINSTR* pData);
/* Counts the recipients and keeps their identifiers in the context; nothing is decrypted. */
QELT_EXPORT int QELT_CMS_ProcessEnvelopedData2(void* pCtx, BINSTR* pEnvelopedData, int* pRecipientCnt);
/* Recipient nIndex (0-based) of the last QELT_CMS_ProcessEnvelopedData2: issuer
   name and serial number (lowercase hex), or the subject key identifier (hex);
   each buffer holds nBufLen bytes. */
QELT_EXPORT int QELT_CMS_GetRecipient(void* pCtx, int nIndex, int nBufLen, char* pszIssuerName, char* pszSerialNum,
                                      char* pszSubjectKeyID);
/* EncryptedData (always in a ContentInfo) under the context's current symmetric key. */
QELT_EXPORT int QELT_CMS_MakeEncryptedData(void* pCtx, BINSTR* pTBEData, BINSTR* pEncryptedData);
QELT_EXPORT int QELT_CMS_ProcessEncryptedData(void* pCtx, BINSTR* pKey, BINSTR* pEncryptedData, BINSTR* pData);

/* ---- CMS: SignedAndEnvelopedData ------------------------------------------
   The PKCS#7 signed-and-enveloped message (version 1): the content encrypted
   for one recipient under a fresh key (nSymAlg: QELT_SYM_DES, _3DES, _SEED,
   _NEAT or _ARIA, always CBC) and signed by one signer, whose signature is
   encrypted under the same key. The hash is the one set with
   QELT_API_SetHashAlgo, or the one of the signer certificate's own signature.
   The key transport follows QELT_OPT_RSA_OAEP like an EnvelopedData; option
   QELT_OPT_CMS_CONTENTINFO wraps the message in a ContentInfo. Processing takes
   the message bare or wrapped, decrypts it with the recipient's certificate
   and decrypted key, verifies every signer (not the signer certificates) and
   returns the content and the first signer's certificate. Both leave the
   message's key and IV as the context's current symmetric key. */
QELT_EXPORT int QELT_CMS_MakeSignedAndEnvData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pRecCert,
                                              BINSTR* pData, int nSymAlg, BINSTR* pSignedAndEnvlopedData);
QELT_EXPORT int QELT_CMS_ProcessSignedAndEnvData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                 BINSTR* pSignedAndEnvlopedData, BINSTR* pData, BINSTR* pSignerCert);

/* ---- CMS: SignedData ---------------------------------------------------
   Signed messages in the PKCS#7-compatible form (version 1, the content
   embedded as data). The hash is the one set with QELT_API_SetHashAlgo, or
   the one of the signer certificate's own signature. Options: 0x200 wraps
   the result in a ContentInfo, 0x400 adds the signer's CA certificates.
   pszSigningTime: "YYYYMMDDhhmmss" (optionally with "Z"), NULL or "" for now.

   Processing verifies every signer (not the signer certificates: use the
   certificate verification functions for that) and keeps one record per
   signer in the context for the QELT_CMS_GetSigner* functions. pData: the
   external content of a detached message, or empty to receive the content.
   Signing-time texts are "YYYYMMDDhhmmss" in local time (15 bytes with the
   NUL), empty when the signer gave none. */
QELT_EXPORT int QELT_CMS_MakeSignedData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pTBSData,
                                        char* pszSigningTime, BINSTR* pSignedData);
QELT_EXPORT int QELT_CMS_MakeSignedDataWithAddSigner(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                     BINSTR* pSignedDataIn, char* pszSigningTime,
                                                     BINSTR* pSignedDataOut);
QELT_EXPORT int QELT_CMS_ProcessSignedData(void* pCtx, BINSTR* pSignedData, BINSTR* pData, BINSTR* pSignerCert,
                                           char* pszSigningTime);
QELT_EXPORT int QELT_CMS_ProcessSignedData2(void* pCtx, BINSTR* pSignedData, BINSTR* pData, int* pSignerCnt);
QELT_EXPORT int QELT_CMS_GetSigner(void* pCtx, int nIndex, BINSTR* pSignerCert, char* pszSigningTime);
QELT_EXPORT int QELT_CMS_GetSigner2(void* pCtx, int nIndex, BINSTR* pSignerCert, int* pSigningTime);
QELT_EXPORT int QELT_CMS_GetSignerCaPubs(void* pCtx, BINSTR* pCaPubs);

/* ---- CMS: files of any size (up to 2^31 - 1 bytes) ---------------------
   The content streams between files in 8192-byte blocks; only the framing of
   the message is held in memory. _File functions keep the content inside the
   message file; _NoContent_File functions keep it apart (a detached
   SignedData over the data file; an EnvelopedData whose ciphertext is in its
   own file). Output files are created (replaced) and removed again when the
   call fails. Options as for the in-memory functions, except that a signed
   file with its content inside is always a bare SignedData without CA
   certificates. nSymAlg: 16 DES, 32 3DES, 48 SEED, 64 NEAT, 80 ARIA. */
QELT_EXPORT int QELT_CMS_MakeSignedData_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, const char* pszTBSDataFilePath,
                                             const char* pszSigningTime, const char* pszSignedDataFilePath);
QELT_EXPORT int QELT_CMS_MakeSignedData_NoContent_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                       const char* pszTBSDataFilePath, const char* pszSigningTime,
                                                       const char* pszSignedDataFilePath);
/* pszDataFile: created with the content (_File) or read as the detached content (_NoContent_File). */
QELT_EXPORT int QELT_CMS_ProcessSignedData_File(void* pCtx, const char* pszSignedDataFilePath, const char* pszDataFile,
                                                BINSTR* pSignerCert, char* pszSigningTime);
QELT_EXPORT int QELT_CMS_ProcessSignedData_File2(void* pCtx, const char* pszSignedDataFilePath,
                                                 const char* pszDataFile, BINSTR* pSignerCert, int* pSigningTime);
QELT_EXPORT int QELT_CMS_ProcessSignedData_NoContent_File(void* pCtx, const char* pszSignedDataFilePath,
                                                          const char* pszDataFile, BINSTR* pSignerCert,
                                                          char* pszSigningTime);
QELT_EXPORT int QELT_CMS_ProcessSignedData_NoContent_File2(void* pCtx, const char* pszSignedDataFilePath,
                                                           const char* pszDataFile, BINSTR* pSignerCert,
                                                           int* pSigningTime);
QELT_EXPORT int QELT_CMS_MakeEnvelopedData_File(void* pCtx, BINSTR* pCert, const char* pszTBEDataFilePath, int nSymAlg,
                                                const char* pszEnvelopedDataFilePath);
QELT_EXPORT int QELT_CMS_MakeEnvelopedData_NoContent_File(void* pCtx, BINSTR* pCert, const char* pszTBEDataFilePath,
                                                          int nSymAlg, const char* pszEnvelopedDataFilePath,
                                                          const char* pszEncryptedContentFilePath);
QELT_EXPORT int QELT_CMS_ProcessEnvelopedData_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                   const char* pszEnvelopedDataFilePath, const char* pszDataFilePath);
QELT_EXPORT int QELT_CMS_ProcessEnvelopedData_NoContent_File(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                             const char* pszEnvelopedDataFilePath,
                                                             const char* pszEncryptedConentFilePath,
                                                             const char* pszDataFilePath);

/* ---- CMS: signing in two steps, time-stamp tokens ----------------------
   QELT_CMS_MakeTBSData gives the bytes a signer must sign (the DER SET of
   the signed attributes) and keeps the half-built message in the context;
   QELT_CMS_ComposeSignedData puts the signature made outside the library
   into it (RSA: PKCS#1 v1.5 over the DigestInfo of the bytes' hash).
   QELT_CMS_GetTBTData gives a signer's signature value, the data to have
   time-stamped, from the last QELT_CMS_ProcessSignedData*; the token goes
   into that signer's unsigned attributes with QELT_CMS_SetTimeStampToken
   (the result is a bare SignedData) and is read back with
   QELT_CMS_GetTimeStampToken. Signer indexes are 0-based. */
QELT_EXPORT int QELT_CMS_MakeTBSData(void* pCtx, BINSTR* pCert, BINSTR* pData, char* pszSigningTime, BINSTR* pTBSData);
QELT_EXPORT int QELT_CMS_ComposeSignedData(void* pCtx, BINSTR* pSignature, BINSTR* pSignedData);
QELT_EXPORT int QELT_CMS_GetTBTData(void* pCtx, int nIndex, BINSTR* pTBTData);
QELT_EXPORT int QELT_CMS_SetTimeStampToken(void* pCtx, BINSTR* pSignedData, int nIndex, BINSTR* pTST,
                                           BINSTR* pSignedDataWithTST);
QELT_EXPORT int QELT_CMS_GetTimeStampToken(void* pCtx, int nIndex, BINSTR* pTimeStampToken);

/* ---- PFX (PKCS #12) ------------------------------------------------------
   QELT_PFX_Export packs the signing pair and/or the key-distribution pair
   (certificate DER, decrypted PKCS #8 PrivateKeyInfo DER; pass NULL for both
   parts of an absent pair) into a password-protected PFX: keys shrouded with
   PKCS#12 3DES, certificates encrypted with PKCS#12 RC2-40, HMAC-SHA-1 over
   the contents. QELT_PFX_Import verifies and unpacks one (also PFX files of
   other tools that use the PKCS#12 PBE algorithms and a SHA-1 MAC) and puts
   each pair in the signing or the key-distribution outputs by its
   certificate's key usage; outputs of an absent pair are left untouched.
   A wrong password gives QELT_ERR_PRIKEY_PASSWORD. */
QELT_EXPORT int QELT_PFX_Export(void* pCtx, char* pszPasswd, BINSTR* pSignCert, BINSTR* pSignPriKey, BINSTR* pKmCert,
                                BINSTR* pKmPriKey, BINSTR* pPFX);
QELT_EXPORT int QELT_PFX_Import(void* pCtx, char* pszPasswd, BINSTR* pPFX, BINSTR* pSignCert, BINSTR* pSignPriKey,
                                BINSTR* pKmCert, BINSTR* pKmPriKey);

/* ---- Storage media --------------------------------------------------------
   Certificates and private keys on a medium: nMediaType QELT_MEDIA_DISK
   (pszInfo is the file path) or QELT_MEDIA_PLUGIN (pszInfo is the PIN given
   to the storage plug-in loaded with QELT_STORAGE_Load; one per context).
   nDataType 1, 2, 16 or 32 selects the object on a plug-in. Keys are read and
   written decrypted (PrivateKeyInfo DER) and stored encrypted under pszPasswd
   (nSymAlg QELT_SYM_*); a key read without a password must be stored
   decrypted. Disk files are replaced atomically (a new file renamed over the
   old one); key files get mode 0600. A plug-in exports
     int PKI_STORAGE_Read(int code, const char* pin, unsigned char* buf, int* len, char* errText);
     int PKI_STORAGE_Write(int code, const char* pin, const unsigned char* data, int len, char* errText);
     int PKI_STORAGE_Delete(int code, const char* pin, char* errText);
   returning 0, 256 (no card), 257 (wrong PIN) or another failure value; the
   read buffer holds 2048 bytes and errText 1024. */
#define QELT_MEDIA_DISK 1
#define QELT_MEDIA_PLUGIN 2

QELT_EXPORT int QELT_STORAGE_Load(void* pCtx, char* pszLibPath);
QELT_EXPORT int QELT_STORAGE_Unload(void* pCtx);
QELT_EXPORT int QELT_STORAGE_ReadCert(void* pCtx, int nMediaType, char* pszInfo, int nDataType, BINSTR* pCert);
QELT_EXPORT int QELT_STORAGE_ReadPriKey(void* pCtx, int nMediaType, char* pszInfo, char* pszPasswd, int nDataType,
                                        BINSTR* pPriKey);
QELT_EXPORT int QELT_STORAGE_WriteCert(void* pCtx, int nMediaType, char* pszInfo, int nDataType, BINSTR* pCert);
QELT_EXPORT int QELT_STORAGE_WritePriKey(void* pCtx, int nMediaType, char* pszInfo, char* pszPasswd, int nDataType,
                                         int nSymAlg, BINSTR* pPriKey);
QELT_EXPORT int QELT_STORAGE_DeleteCert(void* pCtx, int nMediaType, char* pszInfo, int nDataType);
QELT_EXPORT int QELT_STORAGE_DeletePriKey(void* pCtx, int nMediaType, char* pszInfo, char* pszPasswd, int nDataType);

/* ---- PKCS#11 tokens -------------------------------------------------------
   The token's Cryptoki library is the module of QELT_STORAGE_Load. Sequence:
   QELT_HSM_GetSlotList (initialises Cryptoki) -> QELT_HSM_OpenSession ->
   QELT_HSM_Login -> object calls -> QELT_HSM_Logout -> QELT_HSM_CloseSession
   (which also finalises Cryptoki). Objects are labelled by a KeyID, the
   upper-case hexadecimal SHA-1 of the certificate (40 characters), passed
   in and out as BINSTR text: "SIGN_CERT=<KeyID>", "SIGN_PRI_KEY=<KeyID>",
   "KM_CERT=<KeyID>", "KM_PRI_KEY=<KeyID>" and the data object
   "R4VID=<KeyID>" with the identification random number of a signing key.
   Private keys never leave the token: QELT_HSM_SignData signs on it.
   Token errors are 8000 + the CKR_ value (or one of the codes below) with
   the CKR_ name in the detail message. */
#define QELT_HSM_CERT_SIGN 1 /* pnCertType of QELT_HSM_GetCertInfo */
#define QELT_HSM_CERT_KM 2
#define QELT_HSM_RW_SESSION 0x02 /* nFlags of QELT_HSM_OpenSession (CKF_RW_SESSION) */

typedef struct {
    char label[33];          /* texts without the token's trailing blanks */
    char manufacturerID[33];
    char model[17];
    char serialNumber[17];
    unsigned long flags;     /* CKF_ token flags */
    unsigned long maxPinLen;
    unsigned long minPinLen;
    unsigned long totalPublicMemory; /* as the token reports them */
    unsigned long freePublicMemory;
} QELT_HSM_TOKEN_INFO;

/* pSlotList receives the slots that hold a token; *pnSlotCount is the
   array's size on entry and the number of slots on return. */
QELT_EXPORT int QELT_HSM_GetSlotList(void* pCtx, unsigned long* pSlotList, int* pnSlotCount);
QELT_EXPORT int QELT_HSM_GetTokenInfo(void* pCtx, unsigned long nSlot, QELT_HSM_TOKEN_INFO* pTokenInfo);
QELT_EXPORT int QELT_HSM_OpenSession(void* pCtx, unsigned long nSlot, int nFlags);
QELT_EXPORT int QELT_HSM_Login(void* pCtx, char* pszUserPIN);
QELT_EXPORT int QELT_HSM_Logout(void* pCtx);
QELT_EXPORT int QELT_HSM_CloseSession(void* pCtx);
QELT_EXPORT int QELT_HSM_ChangePIN(void* pCtx, char* pszOldPIN, char* pszNewPIN);
QELT_EXPORT int QELT_HSM_GetCertCnt(void* pCtx, int* pnCount);
/* Certificate nIndex (0-based) of the token: its kind, KeyID and subject DN. */
QELT_EXPORT int QELT_HSM_GetCertInfo(void* pCtx, int nIndex, int* pnCertType, BINSTR* pKeyID, BINSTR* pCertDN);
QELT_EXPORT int QELT_HSM_ReadCert(void* pCtx, BINSTR* pKeyID, BINSTR* pCert);
QELT_EXPORT int QELT_HSM_ReadRandomForVID(void* pCtx, BINSTR* pKeyID, BINSTR* pRandom);
QELT_EXPORT int QELT_HSM_WriteCertAndPriKey(void* pCtx, BINSTR* pCert, BINSTR* pPriKey);
QELT_EXPORT int QELT_HSM_DeleteCertAndPriKey(void* pCtx, BINSTR* pKeyID);
/* A SignedData of pData (content type data) signed on the token with the
   private key of pKeyID; the form follows QELT_API_SetOption as for
   QELT_CMS_MakeSignedData. */
QELT_EXPORT int QELT_HSM_SignData(void* pCtx, BINSTR* pKeyID, BINSTR* pData, BINSTR* pSignedData);

/* ---- challenge-response authentication (SIGEA) -------------------------
   The server makes a challenge (DER SEQUENCE { OCTET STRING of 16 random
   bytes }) and sends it to the client; the client answers with
   QELT_SIGEA_MakeResponse, signing (SHA-1, whatever QELT_API_SetHashAlgo
   says) its own 16 random bytes, the challenge and the text "client" with its
   signing certificate's key; the server passes the response with the very
   challenge it issued to QELT_SIGEA_VerifyResponse, which checks the
   signature and returns the client's certificate. Nothing is kept between the
   calls, and the returned certificate is not validated: pass it to the
   certificate verification functions. */
QELT_EXPORT int QELT_SIGEA_MakeChallenge(void* pCtx, BINSTR* pChallenge);
QELT_EXPORT int QELT_SIGEA_MakeResponse(void* pCtx, const BINSTR* pChallenge, const BINSTR* pCert,
                                        const BINSTR* pPriKey, BINSTR* pResponse);
QELT_EXPORT int QELT_SIGEA_VerifyResponse(void* pCtx, const BINSTR* pResponse, const BINSTR* pChallenge,
                                          BINSTR* pCert);

/* ---- WAP messages -------------------------------------------------------
   The compact formats of mobile clients. SignedContent: the content, the
   signer certificate and a signing time, signed (RSA with SHA-1, or the WTLS
   form of ECDSA with SHA-1) over the DER SET of the CMS signed attributes
   contentType, signingTime and messageDigest. pszSigningTime as for
   QELT_CMS_MakeSignedData; the processing functions return the content, the
   signer certificate (not validated) and the signing time ("YYYYMMDDhhmmss"
   in local time into a buffer of at least 15 bytes, or seconds). Content of
   at most 65535 bytes.
   WapEnvelopedData: the content encrypted with nSymAlg QELT_SYM_3DES, _SEED
   or _NEAT (CBC) under a fresh key sent with RSA PKCS#1 v1.5 to one recipient
   named by the subject key identifier of its certificate; the format holds an
   encrypted key of at most 255 bytes (RSA keys up to 2040 bits: RSA-1024
   recipients) and ciphertexts of at most 65533 bytes. Opening a message
   leaves its key and IV as the context's session key. */
QELT_EXPORT int QELT_WCMS_MakeSignedContent(void* pCtx, BINSTR* pCert, BINSTR* pPriKey, BINSTR* pTBSData,
                                            char* pszSigningTime, BINSTR* pSignedContent);
QELT_EXPORT int QELT_WCMS_ProcessSignedContent(void* pCtx, BINSTR* pSignedContent, BINSTR* pData,
                                               BINSTR* pSignerCert, char* pszSigningTime);
QELT_EXPORT int QELT_WCMS_ProcessSignedContent2(void* pCtx, BINSTR* pSignedContent, BINSTR* pData,
                                                BINSTR* pSignerCert, int* pSigningTime);
QELT_EXPORT int QELT_WCMS_MakeWapEnvelopedData(void* pCtx, BINSTR* pRecCert, BINSTR* pTBEData, int nSymAlg,
                                               BINSTR* pWapEnvelopedData);
QELT_EXPORT int QELT_WCMS_ProcessWapEnvelopedData(void* pCtx, BINSTR* pCert, BINSTR* pPriKey,
                                                  BINSTR* pWapEnvelopedData, BINSTR* pData);

/* ---- identity verification (VID) ----------------------------------------
   QELT_VID_Verify: 0 when the identification number pszIDN (resident or
   business registration number) and the random number kept with the private
   key (QELT_VID_GetRandomFromPriKey) give the virtual identifier in the
   certificate's subjectAltName; 1700 when they do not, 1701 when the
   certificate carries no identification data. */
QELT_EXPORT int QELT_VID_Verify(void* pCtx, BINSTR* pCert, BINSTR* pRandom, const char* pszIDN);
/* The same questions asked of the identity-verification server named in the
   configuration file's [IVS] section (IP, PORT, SVR_KM_CERT_URL: the LDAP URL
   of the entry publishing the server's certificates; TIME_OUT: seconds to
   wait for the answer, 0 for 600, read once per context): does pCert belong
   to pszIDN (sent encrypted for the server), or is pCert valid. pMyCert is
   the requester's certificate. The server's key-management and signing
   certificates are kept in <work dir>/cache/IVS/IVS_KmCert.der and
   IVS_SignCert.der, filled from the directory when missing; an answer signed
   under another certificate than the cached one makes the signing
   certificate be fetched once more. pSvrKmCert and pSvrSignCert, when not
   NULL or empty, are the server's certificates given by the caller: they
   take the place of the cache and the directory. The server's refusals come
   back as the codes of its response code (1215, 1700, 2104, ...) with its
   description in the message. */
QELT_EXPORT int QELT_VID_VerifyByIVS(void* pCtx, const char* pszConfFilePath, BINSTR* pCert, BINSTR* pMyCert,
                                     const char* pszIDN, BINSTR* pSvrKmCert, BINSTR* pSvrSignCert);
QELT_EXPORT int QELT_CERT_VerifyByIVS(void* pCtx, const char* pszConfFilePath, BINSTR* pCert, BINSTR* pMyCert);


/* ---- time-stamp protocol ---------------------------------------------------
   A TimeStampReq for pDoc (nHashAlg: QELT_HASH_SHA1, _MD5, _HAS160 or
   _SHA256), optionally with a policy OID text and signed by the requester
   (bSign 1: a SignedData over the request with pCert and the decrypted
   pPriKey). The context remembers the imprint, policy and nonce asked for,
   and QELT_TSP_VerifyResMsg checks the answer against them. The exchange
   posts the request as hexadecimal text to http://pszIP:nPort/TSAReq; the
   time-out is [TSA] TSA_TIME_OUT of the configuration file (600 seconds by
   default). Tokens are DER ContentInfo; texts of QELT_TSP_GetTokenInfo
   (nBufSize bytes each): the TSA's CN and DN, the policy and hash algorithm
   as OID texts, the hash, serial number and nonce in hexadecimal, and the
   generation time as "YYYYMMDDhhmmss" followed by the fraction and zone the
   token carries. */
QELT_EXPORT int QELT_TSP_MakeReqMsg(void* pCtx, BINSTR* pDoc, int nHashAlg, char* pszPolicy, unsigned char bSign,
                                    BINSTR* pCert, BINSTR* pPriKey, BINSTR* pReqMsg);
QELT_EXPORT int QELT_TSP_SendAndRecv(void* pCtx, char* pszIP, int nPort, BINSTR* pReqMsg, BINSTR* pResMsg);
QELT_EXPORT int QELT_TSP_VerifyResMsg(void* pCtx, BINSTR* pResMsg, BINSTR* pTSACert, BINSTR* pToken);
/* pStatus (optional): the response's PKIStatus; pPkiFreeText then receives
   its free texts (one per line). */
QELT_EXPORT int QELT_TSP_VerifyResMsg2(void* pCtx, BINSTR* pResMsg, BINSTR* pTSACert, BINSTR* pToken, int* pStatus,
                                       BINSTR* pPkiFreeText);
QELT_EXPORT int QELT_TSP_VerifyToken(void* pCtx, BINSTR* pDoc, BINSTR* pToken);
/* pTSACert (optional) receives the TSA's certificate. */
QELT_EXPORT int QELT_TSP_VerifyToken2(void* pCtx, BINSTR* pDoc, BINSTR* pToken, BINSTR* pTSACert);
QELT_EXPORT int QELT_TSP_GetTokenInfo(void* pCtx, BINSTR* pToken, int nBufSize, char* pszCN, char* pszDN,
                                      char* pszPolicy, char* pszHashAlg, char* pszHashValue, char* pszSerialNum,
                                      char* pszGenTime, char* pszNonce);
/* The same values as bytes: the hash, the serial number's and the nonce's
   INTEGER magnitudes, the GeneralizedTime text, the TSA's certificate. */
QELT_EXPORT int QELT_TSP_GetTokenInfo2(void* pCtx, BINSTR* pToken, int nBufSize, char* pszPolicy, char* pszHashAlg,
                                       BINSTR* pHashValue, BINSTR* pSerialNum, BINSTR* pGenTime, BINSTR* pNonce,
                                       BINSTR* pTSACert);

/* ---- OCSP --------------------------------------------------------------------
   Not supported in this build: each returns 1007. Certificate status by OCSP
   is checked by QELT_CERT_Verify (revocation option 8, or 1 with CRL fallback). */
QELT_EXPORT int QELT_OCSP_MakeOCSPReq(void* pCtx, BINSTR* pCert, BINSTR* pIssuerCert, unsigned char bSign,
                                      BINSTR* pSignerCert, BINSTR* pSignerPriKey, BINSTR* pReqMsg);
QELT_EXPORT int QELT_OCSP_MakeOCSPReq2(void* pCtx, BINSTR* pCert, BINSTR* pIssuerCert, unsigned char bSign,
                                       BINSTR* pSignerCert, BINSTR* pSignerPriKey, BINSTR* pReqMsg, BINSTR* pNonce);
QELT_EXPORT int QELT_OCSP_SendAndRecv(void* pCtx, const char* pszURL, BINSTR* pReqMsg, BINSTR* pResMsg);
QELT_EXPORT int QELT_OCSP_ProcessResMsg(void* pCtx, BINSTR* pResMsg, BINSTR* pResponderCert);
QELT_EXPORT int QELT_OCSP_VerifyResMsg(void* pCtx, BINSTR* pResMsg, BINSTR* pNonce);
QELT_EXPORT int QELT_OCSP_GetCertStatus(void* pCtx, BINSTR* pResMsg, int* pStatus, char* pszRevokedTime,
                                        int* pnReason);
/* ---- LDAP directory ----------------------------------------------------
   Values are read from the entry an LDAP URL ("ldap://host[:port]/dn") names,
   with an anonymous bind; the search time-out is [LDAP] LDAP_TIME_OUT of the
   configuration file (default 10 seconds). nDataType: */
#define QELT_LDAP_CA_CERT 1         /* cacertificate */
#define QELT_LDAP_SIGN_CERT 2       /* signcertificate: first with digitalSignature */
#define QELT_LDAP_KM_CERT 3         /* usercertificate: first with keyEncipherment or keyAgreement */
#define QELT_LDAP_ARL 5             /* authorityrevocationlist */
#define QELT_LDAP_CRL 6             /* certificaterevocationlist */
#define QELT_LDAP_DELTA_CRL 7       /* deltaRevocationList */
#define QELT_LDAP_CTL 8             /* certificatetrustlist */
#define QELT_LDAP_WAP_USER_CERT 9   /* wusercertificate */
QELT_EXPORT int QELT_LDAP_GetDataByURL(void* pCtx, int nDataType, const char* pszURL, BINSTR* pData);
/* Searches "cn=<pszCN>" anywhere under C=KR; pszDN (1024 bytes) receives the entry's DN. */
QELT_EXPORT int QELT_LDAP_GetDataByCN(void* pCtx, const char* pszIP, int nPort, const char* pszCN, int nDataType,
                                      char* pszDN, BINSTR* pData);
QELT_EXPORT int QELT_LDAP_GetAnyDataByURL(void* pCtx, const char* pszAttribute, const char* pszURL, BINSTR* pData);
/* The CRL (ARL for a CA certificate) through the certificate's CRL distribution points. */
QELT_EXPORT int QELT_LDAP_GetCRLByCert(void* pCtx, BINSTR* pCert, BINSTR* pCRL);
/* The CA bundle of pCert (issuer first, root last) read from the directories that
   the configuration's LDAP_INFO<n> sections name (keys DN and URL). */
QELT_EXPORT int QELT_LDAP_GetCertPath(void* pCtx, BINSTR* pCert, const char* pszConfFilePath, BINSTR* pPath);

/* ---- certificate verification ------------------------------------------
   QELT_CERT_Verify validates one certificate completely: CA bundle (the one
   set with QELT_API_SetCaPubs, else the cache under the work directory, else
   built from the directory), path composition and RFC 3280 validation, trust
   (the roots added with QELT_CERT_AddTrustedCert, or a trust list signed by
   one of them), policies, and revocation of every certificate of the path by
   ARL, CRL or OCSP. Results: 0 valid; 1214 a certificate is on hold; 1215
   revoked; 1222 unknown to the OCSP responder; other codes name the check
   that failed. Caches: <work>/cache/CaPubs, CRL, ARL, CTL. */
#define QELT_VERIFY_SCOPE_FULL_PATH 1       /* required */
#define QELT_VERIFY_SCOPE_STRICT_EE 8       /* end entities must not carry CA-only extensions */
#define QELT_REVOKE_ALL 1                   /* CAs by ARL, the target by OCSP falling back to CRL */
#define QELT_REVOKE_CA_BY_ARL 2
#define QELT_REVOKE_TARGET_BY_CRL 4
#define QELT_REVOKE_TARGET_BY_OCSP 8
#define QELT_REVOKE_NONE 16
#define QELT_CERT_TYPE_SIGN 1
#define QELT_CERT_TYPE_KM 2
#define QELT_CERT_TYPE_OCSP 3
#define QELT_CERT_TYPE_TSA 4
/* nScope and nRevocationOption: 0 keeps the current value. pszValidationTime:
   "YYYYMMDDhhmmss" local time or with "Z" UTC, empty keeps the current one.
   pszOCSPURL: a responder used when the certificate names none, or with the
   prefix "[UseThisURLFirst]" always. */
QELT_EXPORT int QELT_CERT_SetVerifyEnv(void* pCtx, int nScope, int nRevocationOption, unsigned char bUseCache,
                                       const char* pszValidationTime, const char* pszOCSPURL);
QELT_EXPORT int QELT_CERT_AddTrustedCert(void* pCtx, BINSTR* pTrustedCert);
/* nCertType: QELT_CERT_TYPE_*. pszIPS: initial policy set, dotted OIDs joined
   by ";" (empty: the configuration's [VALIDATOIN_OPTION] IPS). bSignOCSPReq 1
   signs OCSP requests with pMyCert and pMyPriKey (decrypted PrivateKeyInfo). */
QELT_EXPORT int QELT_CERT_Verify(void* pCtx, BINSTR* pCert, int nCertType, const char* pszIPS,
                                 const char* pszConfFilePath, unsigned char bSignOCSPReq, BINSTR* pMyCert,
                                 BINSTR* pMyPriKey);
/* 0 whether good (*pnReason = -1) or listed in its issuer's CRL (*pnReason =
   the CRL reason, pszRevokedTime (20 bytes) = "YYYY-MM-DD hh:mm:ss", or
   "YYYYMMDDhhmmssZ" when it holds "java" on entry). */
QELT_EXPORT int QELT_CERT_CheckStatByCRL(void* pCtx, BINSTR* pCert, char* pszRevokedTime, int* pnReason);
/* Not supported: always 1007. */
QELT_EXPORT int QELT_CERT_CheckStatByOCSP(void* pCtx, BINSTR* pCert, BINSTR* pIssuerCert, const char* pszOCSPURL,
                                          char* pszRevokedTime, int* pnReason);

#ifdef __cplusplus
}
#endif

#endif /* QELTAPI_H */
