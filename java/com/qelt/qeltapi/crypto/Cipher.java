package com.qelt.qeltapi.crypto;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/** Symmetric encryption in CBC mode (DES 0x10, 3DES 0x20, SEED 0x30, NEAT 0x40, ARIA 0x50). */
public class Cipher extends NativeObject {
    /** Byte result of the in-memory calls. */
    public byte[] outBuff;

    /** Encrypts with padding under a key blob (the key followed by one block of IV, as a generated key comes). */
    public byte[] encrypt(byte[] keyAndIv, byte[] plain, int symAlg) throws QeltApiException {
        check(_encrypt(keyAndIv, plain, symAlg));
        return outBuff;
    }

    public byte[] decrypt(byte[] keyAndIv, byte[] cipherText, int symAlg) throws QeltApiException {
        check(_decrypt(keyAndIv, cipherText, symAlg));
        return outBuff;
    }

    /** option: 0x20 pads (the default with 0), 0x10 takes whole blocks without padding. */
    public byte[] encrypt(int symAlg, byte[] key, byte[] iv, int option, byte[] plain) throws QeltApiException {
        check(_encrypt(symAlg, key, iv, option, plain));
        return outBuff;
    }

    public byte[] decrypt(int symAlg, byte[] key, byte[] iv, int option, byte[] cipherText)
            throws QeltApiException {
        check(_decrypt(symAlg, key, iv, option, cipherText));
        return outBuff;
    }

    public void encryptFile(int symAlg, byte[] key, byte[] iv, int option, String in, String out)
            throws QeltApiException {
        check(_encrypt_File(symAlg, key, iv, option, in, out));
    }

    public void decryptFile(int symAlg, byte[] key, byte[] iv, int option, String in, String out)
            throws QeltApiException {
        check(_decrypt_File(symAlg, key, iv, option, in, out));
    }

    native int _encrypt(byte[] keyAndIv, byte[] plain, int symAlg);
    native int _decrypt(byte[] keyAndIv, byte[] cipherText, int symAlg);
    native int _encrypt(int symAlg, byte[] key, byte[] iv, int option, byte[] plain);
    native int _decrypt(int symAlg, byte[] key, byte[] iv, int option, byte[] cipherText);
    native int _encrypt_File(int symAlg, byte[] key, byte[] iv, int option, String in, String out);
    native int _decrypt_File(int symAlg, byte[] key, byte[] iv, int option, String in, String out);
}
