package com.qelt.test;

import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

/**
 * Certificates and private keys on disk and through the test storage plug-in
 * (which keeps each object in "obj-CODE.bin" of $QELT_TEST_PLUGIN_DIR), from
 * Java: what lands on the medium is read back by the files themselves and by
 * OpenSSL, and bad media, types, PINs and passwords get their codes.
 */
public class StorageTest extends TestBase {
    private static final int DISK = 1, PLUGIN = 2, SIGN = 1, DES3 = 0x20, SEED = 0x30;
    private static final String PW = "qwer1234";

    public void testDiskCertificateAndKeyRoundTrips() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("storage-disk");
        String cert = dir.resolve("sub/signCert.der").toString(), key = dir.resolve("sub/signPri.key").toString();

        eq(0, api.STORAGE_WriteCert("", DISK, cert, SIGN, data("user.der")), "write certificate");
        eq(data("user.der"), Files.readAllBytes(Paths.get(cert)), "the file holds the certificate");
        eq(0, api.STORAGE_ReadCert(null, DISK, cert, SIGN), "read certificate");
        eq(data("user.der"), api.baReturnArray, "certificate read back");

        eq(0, api.STORAGE_WritePriKey("", DISK, key, PW, SIGN, DES3, data("user.p8")), "write key");
        byte[] stored = Files.readAllBytes(Paths.get(key));
        check(indexOf(stored, data("user.p8")) < 0, "the key is not stored in the clear");
        // OpenSSL opens the stored key with the password (and writes it as a
        // PKCS#1 RSAPrivateKey): the key inside user.p8.
        eq(0, openssl(dir, "pkcs8", "-inform", "DER", "-in", "sub/signPri.key", "-passin", "pass:" + PW, "-outform",
                "DER", "-out", "opened.der"), "openssl pkcs8 opens the stored key");
        eq(Der.parse(data("user.p8")).children().get(2).value, Files.readAllBytes(dir.resolve("opened.der")),
                "the key OpenSSL found");

        eq(0, api.STORAGE_ReadPriKey("", DISK, key, PW, SIGN), "read key");
        eq(data("user.p8"), api.baReturnArray, "key read back decrypted");
        failed(api, api.STORAGE_ReadPriKey("", DISK, key, "wrong", SIGN), 1301, "비밀번호를 확인하세요.");
        failed(api, api.STORAGE_ReadPriKey("", DISK, key, "", SIGN), 1306, "복호화된 개인키가 아닙니다.");
        eq(0, api.STORAGE_WritePriKey("", DISK, key, PW, SIGN, SEED, data("user.p8")), "rewrite under SEED");
        eq(0, api.STORAGE_ReadPriKey("", DISK, key, PW, SIGN), "read SEED-protected key");
        eq(data("user.p8"), api.baReturnArray, "SEED-protected key read back");

        // Deleting a key checks its password first.
        failed(api, api.STORAGE_DeletePriKey("", DISK, key, "wrong", SIGN), 1301, "");
        check(Files.exists(Paths.get(key)), "a wrong password deletes nothing");
        eq(0, api.STORAGE_DeletePriKey("", DISK, key, PW, SIGN), "delete key");
        check(!Files.exists(Paths.get(key)), "key file deleted");
        eq(0, api.STORAGE_DeleteCert("", DISK, cert, SIGN), "delete certificate");
        check(!Files.exists(Paths.get(cert)), "certificate file deleted");
        failed(api, api.STORAGE_ReadCert("", DISK, cert, SIGN), 1400, "signCert.der");
    }

    public void testDiskBadInput() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("storage-bad");
        String cert = dir.resolve("c.der").toString();
        failed(api, api.STORAGE_ReadCert("", 3, cert, SIGN), 1405, "지원하지 않는 저장매체 종류입니다.");
        failed(api, api.STORAGE_ReadCert("", DISK, null, SIGN), 1006, "파일경로(pszInfo)를 지정해 주세요.");
        failed(api, api.STORAGE_WriteCert("", DISK, cert, SIGN, null), 1006, "저장할 인증서(pCert)를 지정해 주세요.");
        failed(api, api.STORAGE_WritePriKey("", DISK, cert, PW, SIGN, DES3, new byte[0]), 1006,
                "저장할 개인키(pPriKey)를 지정해 주세요.");
        failed(api, api.STORAGE_WritePriKey("", DISK, cert, "", SIGN, DES3, data("user.p8")), 1006,
                "개인키 비밀번호를 지정해 주세요.");
        failed(api, api.STORAGE_WritePriKey("", DISK, cert, PW, SIGN, 0x99, data("user.p8")), 1800,
                "지원되지 않는 대칭키 알고리즘입니다.");
        check(api.STORAGE_WritePriKey("", DISK, cert, PW, SIGN, DES3, "garbage".getBytes()) != 0,
                "garbage is no private key");
        check(!Files.exists(Paths.get(cert)), "nothing written on failure");
        Files.write(Paths.get(cert), new byte[0]);
        failed(api, api.STORAGE_ReadCert("", DISK, cert, SIGN), 1404, "해당 인증서 내용이 비어있습니다.");
    }

    public void testPluginRoundTripsAndRefusals() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        String plugin = System.getProperty("qelt.plugin");
        Path dir = Paths.get(System.getenv("QELT_TEST_PLUGIN_DIR"));
        Files.createDirectories(dir);
        for (String f : new String[] {"obj-1.bin", "obj-2.bin", "mode", "pin"}) Files.deleteIfExists(dir.resolve(f));

        eq(0, api.STORAGE_WriteCert(plugin, PLUGIN, "1234", SIGN, data("user.der")), "write through the plug-in");
        eq(data("user.der"), Files.readAllBytes(dir.resolve("obj-1.bin")), "the plug-in got the certificate");
        eq(0, api.STORAGE_ReadCert(plugin, PLUGIN, "1234", SIGN), "read through the plug-in");
        eq(data("user.der"), api.baReturnArray, "certificate from the plug-in");
        failed(api, api.STORAGE_ReadCert(plugin, PLUGIN, "9999", SIGN), 1415, "PIN 번호를 확인하세요.");
        failed(api, api.STORAGE_ReadCert(plugin, PLUGIN, "", SIGN), 1006, "핀 번호(pszInfo)를 지정해 주세요.");
        failed(api, api.STORAGE_ReadCert(plugin, PLUGIN, "1234", 4), 2003, "지원되지 않는 인증서 데이터 타입입니다.");

        eq(0, api.STORAGE_WritePriKey(plugin, PLUGIN, "1234", PW, SIGN, DES3, data("user.p8")), "write key");
        check(Files.exists(dir.resolve("obj-2.bin")), "key object (code 2) written");
        eq(0, api.STORAGE_ReadPriKey(plugin, PLUGIN, "1234", PW, SIGN), "read key");
        eq(data("user.p8"), api.baReturnArray, "key from the plug-in");
        eq(0, api.STORAGE_DeletePriKey(plugin, PLUGIN, "1234", PW, SIGN), "delete key");
        check(!Files.exists(dir.resolve("obj-2.bin")), "key object deleted");
        eq(0, api.STORAGE_DeleteCert(plugin, PLUGIN, "1234", SIGN), "delete certificate");
        check(!Files.exists(dir.resolve("obj-1.bin")), "certificate object deleted");

        Files.write(dir.resolve("mode"), "nocard\n".getBytes());
        failed(api, api.STORAGE_ReadCert(plugin, PLUGIN, "1234", SIGN), 1414, "스마트카드가 꽂혀있는지 확인하세요.");
        Files.delete(dir.resolve("mode"));
        failed(api, api.STORAGE_ReadCert(dir.resolve("missing.so").toString(), PLUGIN, "1234", SIGN), 1408,
                "missing.so");
        // Without a plug-in path nothing is loaded for the plug-in medium.
        failed(api, api.STORAGE_ReadCert("", PLUGIN, "1234", SIGN), 1406, "우선 동적 라이브러리를 로드하세요.");
    }
}
