package com.qelt.test;

import com.qelt.qeltapi.QeltApiException;
import com.qelt.qeltapi.crypto.Cipher;
import com.qelt.qeltapi.crypto.PrivateKey;
import com.qelt.qeltapi.crypto.PublicKey;
import com.qelt.qeltapi.crypto.Signature;
import com.qelt.qeltapi_jni;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.Arrays;
import javax.crypto.Mac;
import javax.crypto.spec.IvParameterSpec;
import javax.crypto.spec.SecretKeySpec;

/** Hashes, ciphers, MACs, signatures, public-key encryption and private keys, judged by the JDK. */
public class CryptoTest extends TestBase {
    private static final int SHA1 = 1, MD5 = 2, SHA256 = 4;
    private static final int DES3 = 0x20, SEED = 0x30, ARIA = 0x50;

    public void testHashesMatchMessageDigest() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        String[][] algs = {{"1", "SHA-1"}, {"2", "MD5"}, {"4", "SHA-256"}};
        for (String[] a : algs) {
            for (int n : new int[] {1, 1024, 100001}) {
                byte[] in = bytes(n, n);
                eq(0, api._CRYPT_Hash(Integer.parseInt(a[0]), in), a[1]);
                eq(MessageDigest.getInstance(a[1]).digest(in), api.baReturnArray, a[1] + " of " + n + " bytes");
            }
        }
        failed(api, api._CRYPT_Hash(9, new byte[] {1}), 1803, "");
    }

    private static byte[] jdk3des(int mode, byte[] key, byte[] iv, byte[] in) throws Exception {
        javax.crypto.Cipher c = javax.crypto.Cipher.getInstance("DESede/CBC/PKCS5Padding");
        c.init(mode, new SecretKeySpec(key, "DESede"), new IvParameterSpec(iv));
        return c.doFinal(in);
    }

    public void testTripleDesCbcMatchesJavaxCrypto() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] key = bytes(24, 1), iv = bytes(8, 2);
        for (int n : new int[] {0, 1, 8, 1000}) {
            byte[] plain = bytes(n, n + 3);
            if (n == 0) continue;  // the library refuses empty input (checked below)
            eq(0, api.CRYPT_Encrypt(DES3, key, iv, plain), "encrypt " + n);
            eq(jdk3des(javax.crypto.Cipher.ENCRYPT_MODE, key, iv, plain), api.baReturnArray, "3DES-CBC of " + n);
            byte[] javaCipher = jdk3des(javax.crypto.Cipher.ENCRYPT_MODE, key, iv, plain);
            eq(0, api.CRYPT_Decrypt(DES3, key, iv, javaCipher), "decrypt " + n);
            eq(plain, api.baReturnArray, "decrypted " + n);
        }
        failed(api, api.CRYPT_Encrypt(DES3, key, iv, new byte[0]), 1006, "");
        failed(api, api.CRYPT_Encrypt(DES3, Arrays.copyOf(key, 7), iv, new byte[] {1}), 1801, "");
        failed(api, api.CRYPT_Encrypt(0x77, key, iv, new byte[] {1}), 1800, "");
    }

    /** Nothing is remembered between natives: a decryption must bring its key again. */
    public void testNoKeySurvivesBetweenNatives() {
        qeltapi_jni api = new qeltapi_jni();
        byte[] key = bytes(16, 5), iv = bytes(16, 6), plain = "remember nothing".getBytes();
        eq(0, api.CRYPT_Encrypt(SEED, key, iv, plain), "encrypt");
        byte[] cipherText = api.baReturnArray;
        check(api.CRYPT_Decrypt(SEED, null, null, cipherText) != 0, "decrypt without the key fails");
        eq(0, api.CRYPT_Decrypt(SEED, key, iv, cipherText), "decrypt with the key");
        eq(plain, api.baReturnArray, "plain text");
    }

    public void testCipherObjectWithGeneratedKeyBlobAndFullForm() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Cipher cipher = new Cipher();
        for (int alg : new int[] {DES3, SEED, ARIA}) {
            eq(0, api._CRYPT_GenKeyAndIV(alg), "generate key " + alg);
            byte[] blob = api.baReturnArray;
            int block = alg == DES3 ? 8 : 16;
            byte[] key = Arrays.copyOf(blob, blob.length - block);
            byte[] iv = Arrays.copyOfRange(blob, blob.length - block, blob.length);
            byte[] plain = bytes(777, alg);
            byte[] viaBlob = cipher.encrypt(blob, plain, alg);
            eq(0, api.CRYPT_Encrypt(alg, key, iv, plain), "mirror encrypt");
            eq(api.baReturnArray, viaBlob, "blob form = key and IV form, alg " + alg);
            eq(plain, cipher.decrypt(alg, key, iv, 0, viaBlob), "full-form decrypt, alg " + alg);
            if (alg == DES3) eq(jdk3des(javax.crypto.Cipher.ENCRYPT_MODE, key, iv, plain), viaBlob, "JDK 3DES");
        }
        // Without padding (0x10) whole blocks go through unpadded.
        byte[] key = bytes(16, 1), iv = bytes(16, 2), blocks = bytes(64, 3);
        eq(64, cipher.encrypt(SEED, key, iv, 0x10, blocks).length, "unpadded length");
        try {
            cipher.decrypt(bytes(40, 1), bytes(33, 2), SEED);
            throw new AssertionError("ciphertext of a wrong length accepted");
        } catch (QeltApiException e) {
            check(e.getCode() != 0 && e.getMessage().startsWith("ErrCode=" + e.getCode()), e.getMessage());
        }
    }

    public void testFileEncryptionMatchesJavaxCrypto() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        Path dir = tmpDir("cipher-files");
        byte[] key = bytes(24, 11), iv = bytes(8, 12), plain = bytes(300000, 13);
        Path in = dir.resolve("plain.bin"), enc = dir.resolve("plain.enc"), back = dir.resolve("back.bin");
        Files.write(in, plain);
        eq(0, api.CRYPT_Encrypt_File(DES3, key, iv, in.toString(), enc.toString()), "encrypt file");
        eq(jdk3des(javax.crypto.Cipher.ENCRYPT_MODE, key, iv, plain), Files.readAllBytes(enc), "file = JDK 3DES");
        eq(0, api.CRYPT_Decrypt_File(DES3, key, iv, enc.toString(), back.toString()), "decrypt file");
        eq(plain, Files.readAllBytes(back), "decrypted file");
        Cipher cipher = new Cipher();
        cipher.encryptFile(ARIA, bytes(16, 1), bytes(16, 2), 0, in.toString(), enc.toString());
        cipher.decryptFile(ARIA, bytes(16, 1), bytes(16, 2), 0, enc.toString(), back.toString());
        eq(plain, Files.readAllBytes(back), "ARIA file round trip");
        failed(api, api.CRYPT_Encrypt_File(DES3, key, iv, dir.resolve("none").toString(), enc.toString()), 1402, "");
    }

    public void testHmacMatchesJavaxCrypto() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        String key = "mac key";
        byte[] data = bytes(5000, 21);
        String[][] algs = {{"1", "HmacSHA1"}, {"2", "HmacMD5"}, {"3", "HmacSHA256"}};
        for (String[] a : algs) {
            Mac mac = Mac.getInstance(a[1]);
            mac.init(new SecretKeySpec(key.getBytes(), a[1]));
            byte[] expected = mac.doFinal(data);
            eq(0, api._CRYPT_GenMAC(Integer.parseInt(a[0]), key, data), a[1]);
            eq(expected, api.baReturnArray, a[1]);
            eq(0, api._CRYPT_VerifyMAC(Integer.parseInt(a[0]), key, data, expected), "verify " + a[1]);
        }
        failed(api, api._CRYPT_VerifyMAC(3, "other key", data, api.baReturnArray), 1812, "");
    }

    public void testRandomBytes() {
        qeltapi_jni api = new qeltapi_jni();
        eq(0, api._CRYPT_GenRandom(48), "random");
        byte[] first = api.baReturnArray;
        eq(48, first.length, "length");
        eq(0, api._CRYPT_GenRandom(48), "random again");
        check(!Arrays.equals(first, api.baReturnArray), "two draws differ");
        check(api._CRYPT_GenRandom(0) != 0, "zero length refused");
    }

    public void testSignaturesAgainstJavaSecuritySignature() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] cert = data("user.der"), key = data("user.p8"), doc = bytes(4000, 31);
        java.security.Signature jdk = java.security.Signature.getInstance("SHA256withRSA");
        eq(0, api._CRYPT_Sign(cert, key, SHA256, doc), "sign");
        jdk.initVerify(javaCert("user.der"));
        jdk.update(doc);
        check(jdk.verify(api.baReturnArray), "the JDK verifies our signature");

        jdk.initSign(javaKey("user.p8"));
        jdk.update(doc);
        byte[] javaSig = jdk.sign();
        eq(0, api._CRYPT_Verify(cert, SHA256, doc, javaSig), "we verify the JDK's signature");
        javaSig[10] ^= 1;
        failed(api, api._CRYPT_Verify(cert, SHA256, doc, javaSig), 1810, "");

        Signature sig = new Signature();
        byte[] s1 = sig.sign(null, key, SHA1, doc);
        java.security.Signature sha1 = java.security.Signature.getInstance("SHA1withRSA");
        sha1.initVerify(javaCert("user.der"));
        sha1.update(doc);
        check(sha1.verify(s1), "SHA-1 signature of the object class");
        sig.verify(cert, SHA1, doc, s1);
        throwsCode(() -> sig.verify(data("user2.der"), SHA1, doc, s1), 1810, "");
        try {
            sig.sign(null, "not a key".getBytes(), SHA256, doc);
            throw new AssertionError("garbage key accepted");
        } catch (QeltApiException e) {
            check(e.getCode() >= 1300 && e.getCode() < 1900, "garbage key code " + e.getCode());
        }
    }

    public void testPublicKeyEncryptionAgainstJavaxCrypto() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] secret = "session key material".getBytes();
        // Default option: RSAES-OAEP (SHA-1).
        eq(0, api.CRYPT_AsymEncrypt(2, data("user.der"), secret, 0), "encrypt to the certificate");
        javax.crypto.Cipher oaep = javax.crypto.Cipher.getInstance("RSA/ECB/OAEPWithSHA-1AndMGF1Padding");
        oaep.init(javax.crypto.Cipher.DECRYPT_MODE, javaKey("user.p8"));
        eq(secret, oaep.doFinal(api.baReturnArray), "the JDK decrypts our OAEP");
        // PKCS#1 v1.5 from the JDK, decrypted with the call's own option word.
        javax.crypto.Cipher v15 = javax.crypto.Cipher.getInstance("RSA/ECB/PKCS1Padding");
        v15.init(javax.crypto.Cipher.ENCRYPT_MODE, javaCert("user.der").getPublicKey());
        eq(0, api.CRYPT_AsymDecrypt(1, data("user.p8"), v15.doFinal(secret), 0x01), "decrypt v1.5");
        eq(secret, api.baReturnArray, "decrypted");
        // The object's option field works the same way.
        api.option = 0x01;
        eq(0, api.CRYPT_AsymDecrypt(1, data("user.p8"), v15.doFinal(secret), 0), "decrypt with the field");
        eq(secret, api.baReturnArray, "decrypted with the field");
        failed(api, api.CRYPT_AsymEncrypt(7, data("user.der"), secret, 0), 1817, "");
    }

    public void testPrivateKeysAndPasswords() throws Exception {
        qeltapi_jni api = new qeltapi_jni();
        byte[] plainKey = data("user.p8");
        eq(0, api._PRIKEY_Decrypt("qwer1234", data("user_enc.p8")), "OpenSSL's encrypted key opens");
        eq(plainKey, api.baReturnArray, "same key as OpenSSL's");
        failed(api, api._PRIKEY_Decrypt("wrong", data("user_enc.p8")), 1301, "");
        failed(api, api._PRIKEY_Decrypt("qwer1234", data("user.der")), 1306, "");

        eq(0, api._PRIKEY_Encrypt(SEED, "pw one", plainKey), "encrypt");
        byte[] enc = api.baReturnArray;
        eq(0, api._PRIKEY_ChangePasswd("pw one", "pw two", enc), "change");
        byte[] enc2 = api.baReturnArray;
        eq(0, api._PRIKEY_Decrypt("pw two", enc2), "decrypt under the new password");
        eq(plainKey, api.baReturnArray, "key after the change");
        failed(api, api._PRIKEY_ChangePasswd("bad", "x", enc), 1301, "");

        eq(0, api._PRIKEY_CheckKeyPair(data("user.der"), plainKey), "key pair");
        failed(api, api._PRIKEY_CheckKeyPair(data("user2.der"), plainKey), 1303, "");
        failed(api, api._VID_GetRandomFromPriKey(plainKey), 1702, "");

        PrivateKey pk = new PrivateKey(plainKey);
        eq("RSA", pk.getAlgorithm(), "private key algorithm");
        eq("2048 Bits", pk.getKeyLength(), "private key size");
        PublicKey pub = new PublicKey(javaCert("user.der").getPublicKey().getEncoded());
        eq("RSA", pub.getAlgorithm(), "public key algorithm");
        eq("2048 Bits", pub.getKeyLength(), "public key size");
        try {
            new PrivateKey(new byte[] {0x30, 0x03, 0x02, 0x01, 0x00});
            throw new AssertionError("garbage private key accepted");
        } catch (QeltApiException e) {
            check(e.getMessage().startsWith("ErrCode=" + e.getCode() + ",ErrMsg="), e.getMessage());
        }
    }
}
