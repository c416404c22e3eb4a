package com.qelt.qeltapi.util;

import com.qelt.qeltapi.NativeObject;
import com.qelt.qeltapi.QeltApiException;

/**
 * Reads a value from the directory entry "cn=NAME" (anywhere under C=KR) of
 * an LDAP server. Data types: 1 CA certificate, 2 signing certificate, 3
 * key-management certificate, 5 ARL, 6 CRL, 7 delta CRL, 8 trust list, 9 WAP
 * user certificate.
 */
public class Ldap extends NativeObject {
    /** Configuration file (its [LDAP] LDAP_TIME_OUT), applied when not empty. */
    public String confFile;
    /** The value of {@link #getDataByCN}. */
    public byte[] dataBuff;
    /** The entry's DN (library text, CP949) of {@link #getDataByCN}. */
    public byte[] dnBuff;

    public byte[] getDataByCN(String ip, int port, String cn, int dataType) throws QeltApiException {
        check(_getDataByCN(ip, port, cn, dataType));
        return dataBuff;
    }

    native int _getDataByCN(String ip, int port, String cn, int dataType);
}
