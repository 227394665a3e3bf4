#!/usr/bin/env python3
"""The benchmark's baseline: the least a native-messaging host for the
KeePassXC-Browser extension can do. It answers from memory, in one process,
with the same NaCl boxes (libsodium through ctypes): the keys, the database's
hash, any saved connection, and one login for every page. Never for use:
it asks nobody and checks no site.

Its answers come from the environment the browser passes on:
QUILLMERE_MEMORY_HASH, QUILLMERE_MEMORY_USER, QUILLMERE_MEMORY_PASSWORD."""
import base64
import ctypes
import json
import os
import struct
import sys

sodium = ctypes.CDLL("libsodium.so.23")
if sodium.sodium_init() < 0:
    sys.exit(1)
MAC = 16


def b64(raw):
    return base64.b64encode(raw).decode()


def incremented(nonce):
    buffer = ctypes.create_string_buffer(nonce, len(nonce))
    sodium.sodium_increment(buffer, ctypes.c_size_t(len(nonce)))
    return buffer.raw


class Session:
    def __init__(self):
        self.public = ctypes.create_string_buffer(32)
        self.secret = ctypes.create_string_buffer(32)
        sodium.crypto_box_keypair(self.public, self.secret)
        self.shared = ctypes.create_string_buffer(32)

    def keys(self, request):
        client = base64.b64decode(request["publicKey"])
        sodium.crypto_box_beforenm(self.shared, client, self.secret)
        nonce = incremented(base64.b64decode(request["nonce"]))
        return {"action": "change-public-keys", "version": "2.3.4", "publicKey": b64(self.public.raw),
                "nonce": b64(nonce), "success": "true"}

    def answer(self, request):
        nonce = base64.b64decode(request["nonce"])
        box = base64.b64decode(request["message"])
        plain = ctypes.create_string_buffer(len(box) - MAC)
        if sodium.crypto_box_open_easy_afternm(plain, box, ctypes.c_ulonglong(len(box)), nonce, self.shared) != 0:
            return {"action": request.get("action"), "errorCode": 4, "error": "Cannot decrypt message"}
        inner = json.loads(plain.raw)
        action = inner.get("action")
        reply_nonce = incremented(nonce)
        reply = {"hash": os.environ.get("QUILLMERE_MEMORY_HASH", ""), "version": "2.3.4", "success": "true",
                 "nonce": b64(reply_nonce)}
        if action == "get-databasehash":
            reply["action"] = "hash"
        elif action == "test-associate":
            reply["id"] = inner.get("id")
        elif action == "get-logins":
            reply.update(count="1", entries=[{"login": os.environ.get("QUILLMERE_MEMORY_USER", ""),
                                              "name": "memory", "uuid": "0" * 32,
                                              "password": os.environ.get("QUILLMERE_MEMORY_PASSWORD", "")}])
        else:
            return {"action": action, "errorCode": 12, "error": "Incorrect action"}
        text = json.dumps(reply).encode()
        sealed = ctypes.create_string_buffer(len(text) + MAC)
        sodium.crypto_box_easy_afternm(sealed, text, ctypes.c_ulonglong(len(text)), reply_nonce, self.shared)
        return {"action": action, "message": b64(sealed.raw), "nonce": b64(reply_nonce)}


def main():
    session = Session()
    stdin, stdout = sys.stdin.buffer, sys.stdout.buffer
    while True:
        header = stdin.read(4)
        if len(header) < 4:
            return
        request = json.loads(stdin.read(struct.unpack("<I", header)[0]))
        reply = session.keys(request) if request.get("action") == "change-public-keys" else session.answer(request)
        data = json.dumps(reply).encode()
        stdout.write(struct.pack("<I", len(data)) + data)
        stdout.flush()


main()
