"""A run's trace (strace -f -y -xx -v -s N) read into the file operations it made below one
folder, against a model of that folder's files that follows the run call by call.

The model knows inodes, not paths: every descriptor is taken to the inode it was opened on,
every name to the inode its directory holds at that moment, so that an operation keeps its
meaning whatever is renamed later. What the run did outside the folder is passed over; what
it did inside with a call the model cannot follow (a writable shared mapping, fallocate, a
hard link, ...) stops the reading with a clear message instead of a silent gap.
"""
import os
import re
import stat
from dataclasses import dataclass, field

SECTOR = 512


class Unmodelled(Exception):
    """The trace touches the modelled folder with something the model does not cover."""


# ------------------------------------------------------------------ the files themselves

@dataclass
class Inode:
    kind: str            # "file", "dir" or "link"
    mode: int            # permission bits
    data: bytes = b""    # a file's bytes, a link's destination
    entries: dict = field(default_factory=dict)  # a directory's names -> inode numbers


def snapshot(root):
    """The folder `root` as inodes: {number: Inode}, number 0 being `root` itself."""
    inodes = {}

    def add(path):
        number = len(inodes)
        info = os.lstat(path)
        mode = stat.S_IMODE(info.st_mode)
        if stat.S_ISDIR(info.st_mode):
            inodes[number] = Inode("dir", mode)
            for name in sorted(os.listdir(path)):
                inodes[number].entries[name] = add(os.path.join(path, name))
        elif stat.S_ISLNK(info.st_mode):
            inodes[number] = Inode("link", mode, os.readlink(path).encode())
        elif stat.S_ISREG(info.st_mode):
            with open(path, "rb") as f:
                inodes[number] = Inode("file", mode, f.read())
        else:
            raise Unmodelled(f"{path}: neither a file, a directory nor a link")
        return number

    add(root)
    return inodes


# ------------------------------------------------------------------ the operations

@dataclass
class Op:
    """One change the run asked of the file system, on inodes.

    kind: create (dir, name, inode, what, mode, data for a link), write (inode, offset, data),
    truncate (inode, size), rename (dir, name, to_dir, to_name, inode), unlink (dir,
    name), chmod (inode, mode), sync (inode: a file's data and size, or a directory's
    entries), success (the run said it had done its work).
    """
    kind: str
    call: int               # the position of the call in the trace, from 0
    inode: int = -1
    dir: int = -1
    name: str = ""
    to_dir: int = -1
    to_name: str = ""
    offset: int = 0
    data: bytes = b""
    size: int = 0
    mode: int = 0
    what: str = ""


# ------------------------------------------------------------------ reading a line

LINE = re.compile(r"^(\d+) +(\w+)\((.*)\) += (.*)$")
ESCAPE = re.compile(rb"\\x([0-9a-f]{2})")
FD = re.compile(r"^(-?\d+|AT_FDCWD)<((?:\\x[0-9a-f]{2})*)>")


def unescape(text):
    raw = text.encode("ascii")
    if b"..." in raw.replace(b"\\x2e", b""):
        raise Unmodelled("a string in the trace is cut short: give strace a larger -s")
    return ESCAPE.sub(lambda m: bytes([int(m.group(1), 16)]), raw)


def split_arguments(text):
    """The top-level arguments of a call, with strings, structures and comments kept whole."""
    parts, depth, start, i, quoted = [], 0, 0, 0, False
    while i < len(text):
        c = text[i]
        if quoted:
            if c == "\\":
                i += 1
            elif c == '"':
                quoted = False
        elif c == '"':
            quoted = True
        elif text.startswith("/*", i):
            i = text.index("*/", i) + 1
        elif c in "{[<(":
            depth += 1
        elif c in "}]>)":
            depth -= 1
        elif c == "," and depth == 0:
            parts.append(text[start:i].strip())
            start = i + 1
        i += 1
    if text[start:].strip():
        parts.append(text[start:].strip())
    return parts


def string_argument(text):
    if text.endswith('"...'):
        raise Unmodelled("a string in the trace is cut short: give strace a larger -s")
    if not (text.startswith('"') and text.endswith('"')):
        raise Unmodelled(f"expected a string, found {text[:60]}")
    return unescape(text[1:-1])


def descriptor(text):
    """(number, path) of an argument or a result shown as N<path>; None for anything else."""
    m = FD.match(text)
    if not m:
        return None
    return (m.group(1), unescape(m.group(2)).decode("utf-8", "surrogateescape"))


def flags_of(text):
    return set(text.split("|"))


# ------------------------------------------------------------------ the run, followed

READ_ONLY_CALLS = {
    "read", "pread64", "readv", "preadv", "lseek", "fstat", "newfstatat", "statx", "getdents64", "readlink",
    "readlinkat", "access", "faccessat", "faccessat2", "flock", "fcntl", "close", "ioctl", "poll",
    "execve", "fadvise64", "getcwd", "chdir", "fchdir",
}
REFUSED_CALLS = {
    "fallocate", "sendfile", "sendfile64", "splice", "tee", "vmsplice", "link", "linkat", "rename",
    "truncate", "mknod", "mknodat", "sync", "syncfs", "sync_file_range", "chown", "fchown", "fchownat",
    "lchown", "setxattr", "fsetxattr", "lsetxattr", "removexattr", "fremovexattr", "lremovexattr", "mkdir",
    "rmdir", "unlink", "symlink", "creat", "open", "io_uring_enter", "io_submit", "pwritev",
    "pwritev2", "writev", "name_to_handle_at", "open_by_handle_at", "msync", "fchmodat2",
}


class Follower:
    """The run's calls applied to a model of `root`, and the operations they were."""

    def __init__(self, root, inodes):
        self.root = root.rstrip("/")
        self.inodes = inodes
        self.next_inode = max(inodes) + 1
        self.descriptors = {}  # (pid, fd) -> [inode, offset, appending]
        self.ops = []
        self.identities = {}   # inode -> (number, birth) as statx told the run
        self.umask = 0o022
        self.success_marker = None
        self.call = 0

    # -- paths

    def inside(self, path):
        return path == self.root or path.startswith(self.root + "/")

    def resolve(self, path, parent=False):
        """The inode at `path` (or, with parent, (directory inode, last name)); None where
        nothing stands."""
        if not self.inside(path):
            return None
        names = [n for n in path[len(self.root):].split("/") if n]
        here = 0
        last = names.pop() if parent else None
        for name in names:
            node = self.inodes.get(here)
            if node is None or node.kind != "dir":
                return None
            if name == ".":
                continue
            if name == "..":
                raise Unmodelled(f"'..' in {path}")
            here = node.entries.get(name)
            if here is None:
                return None
        return (here, last) if parent else here

    def at(self, pid, dirfd_text, name):
        """The absolute path that (dirfd, name) of a call names."""
        if name.startswith("/"):
            return os.path.normpath(name)
        fd = descriptor(dirfd_text)
        if fd is None:
            raise Unmodelled(f"a directory argument without its path: {dirfd_text}")
        return os.path.normpath(os.path.join(fd[1], name)) if name not in ("", ".") else fd[1]

    def fd_inode(self, pid, text):
        fd = descriptor(text)
        if fd is None:
            return None
        known = self.descriptors.get((pid, fd[0]))
        if known is not None:
            return known
        if self.inside(fd[1].removesuffix(" (deleted)")):
            raise Unmodelled(f"descriptor {fd[0]} on {fd[1]} was opened before the trace began")
        return None

    def emit(self, kind, **fields):
        self.ops.append(Op(kind, self.call, **fields))

    def new_inode(self, kind, mode, data=b""):
        number = self.next_inode
        self.next_inode += 1
        self.inodes[number] = Inode(kind, mode, data)
        return number

    # -- the calls

    def follow(self, lines, success_text=None):
        for line in lines:
            if line.startswith(("+++", "---")) or " +++ " in line or " --- " in line:
                continue
            if "<unfinished ...>" in line or "resumed>" in line:
                raise Unmodelled("calls of several threads interleave: the model follows one thread")
            m = LINE.match(line)
            if not m:
                if "exit_group(" in line or line.endswith("= ?"):
                    continue
                raise Unmodelled(f"a line of the trace not understood: {line[:120]}")
            pid, name, arguments, result = m.groups()
            args = split_arguments(arguments)
            ok = not result.startswith(("-1", "?"))
            handler = getattr(self, "on_" + name, None)
            if handler is not None:
                if ok:
                    handler(pid, args, result)
                self.call += 1
            elif name in REFUSED_CALLS:
                touched = [a for a in args if (d := descriptor(a)) and self.inside(d[1])]
                touched += [a for a in args if a.startswith('"') and self.inside(
                    string_argument(a).decode("utf-8", "surrogateescape"))]
                if touched:
                    raise Unmodelled(f"{name} on the modelled folder: the model does not cover it")
            if success_text and name == "write" and success_text in unescape(args[1][1:-1]) and ok:
                if self.success_marker is None:
                    self.success_marker = len(self.ops)
                    self.emit("success")
        return self.ops

    def on_umask(self, pid, args, result):
        self.umask = int(args[0], 8)

    def on_openat(self, pid, args, result):
        flags = flags_of(args[2])
        if "O_TMPFILE" in flags or "__O_TMPFILE" in flags:
            raise Unmodelled("O_TMPFILE: the model does not cover it")
        path = self.at(pid, args[0], string_argument(args[1]).decode("utf-8", "surrogateescape"))
        fd = descriptor(result)
        if fd is None or not self.inside(path):
            return
        number = self.resolve(path)
        if number is None:
            where = self.resolve(path, parent=True)
            if where is None or self.inodes[where[0]].kind != "dir" or "O_CREAT" not in flags:
                raise Unmodelled(f"opened {path}, which the model does not hold")
            directory, last = where
            number = self.new_inode("file", int(args[3], 8) & ~self.umask & 0o7777)
            self.inodes[directory].entries[last] = number
            self.emit("create", dir=directory, name=last, inode=number, what="file",
                      mode=self.inodes[number].mode)
        elif "O_TRUNC" in flags and self.inodes[number].kind == "file" and self.inodes[number].data:
            self.inodes[number].data = b""
            self.emit("truncate", inode=number, size=0)
        self.descriptors[(pid, fd[0])] = [number, 0, "O_APPEND" in flags]

    def on_close(self, pid, args, result):
        fd = descriptor(args[0])
        if fd:
            self.descriptors.pop((pid, fd[0]), None)

    def on_fcntl(self, pid, args, result):
        if args[1] in ("F_DUPFD", "F_DUPFD_CLOEXEC"):
            self.dup(pid, args[0], result)

    def on_dup(self, pid, args, result):
        self.dup(pid, args[0], result)

    def on_dup2(self, pid, args, result):
        self.dup(pid, args[0], result)

    on_dup3 = on_dup2

    def dup(self, pid, source, result):
        known = self.fd_inode(pid, source)
        target = descriptor(result) or (result.split()[0], "")
        if known is not None:
            self.descriptors[(pid, target[0])] = known  # shared offset, as dup shares it

    def on_mkdirat(self, pid, args, result):
        path = self.at(pid, args[0], string_argument(args[1]).decode("utf-8", "surrogateescape"))
        self.made(path, "dir", int(args[2], 8) & ~self.umask & 0o7777)

    def on_symlinkat(self, pid, args, result):
        path = self.at(pid, args[1], string_argument(args[2]).decode("utf-8", "surrogateescape"))
        self.made(path, "link", 0o777, string_argument(args[0]))

    def made(self, path, what, mode, data=b""):
        if not self.inside(path):
            return
        directory, last = self.resolve(path, parent=True)
        number = self.new_inode(what, mode, data)
        self.inodes[directory].entries[last] = number
        self.emit("create", dir=directory, name=last, inode=number, what=what, mode=mode, data=data)

    def on_renameat2(self, pid, args, result):
        source = self.at(pid, args[0], string_argument(args[1]).decode("utf-8", "surrogateescape"))
        target = self.at(pid, args[2], string_argument(args[3]).decode("utf-8", "surrogateescape"))
        flags = flags_of(args[4]) if len(args) > 4 else {"0"}
        if self.inside(source) != self.inside(target):
            raise Unmodelled(f"a rename into or out of the modelled folder: {source} -> {target}")
        if not self.inside(source):
            return
        if "RENAME_EXCHANGE" in flags or "RENAME_WHITEOUT" in flags:
            raise Unmodelled("renameat2 with RENAME_EXCHANGE: the model does not cover it")
        from_dir, from_name = self.resolve(source, parent=True)
        to_dir, to_name = self.resolve(target, parent=True)
        number = self.inodes[from_dir].entries.pop(from_name)
        self.inodes[to_dir].entries[to_name] = number
        self.emit("rename", dir=from_dir, name=from_name, to_dir=to_dir, to_name=to_name, inode=number)

    on_renameat = on_renameat2

    def on_unlinkat(self, pid, args, result):
        path = self.at(pid, args[0], string_argument(args[1]).decode("utf-8", "surrogateescape"))
        if not self.inside(path):
            return
        directory, last = self.resolve(path, parent=True)
        self.inodes[directory].entries.pop(last)
        self.emit("unlink", dir=directory, name=last)

    def on_fchmodat(self, pid, args, result):
        path = self.at(pid, args[0], string_argument(args[1]).decode("utf-8", "surrogateescape"))
        number = self.resolve(path)
        if number is not None:
            self.chmod(number, int(args[2], 8))

    def on_chmod(self, pid, args, result):
        # The C library changes a link's own mode through its O_PATH descriptor's name in /proc.
        path = string_argument(args[0]).decode("utf-8", "surrogateescape")
        through = re.fullmatch(r"/proc/self/fd/(\d+)", path)
        if through:
            known = self.descriptors.get((pid, through.group(1)))
            if known is not None:
                self.chmod(known[0], int(args[1], 8))
        elif self.inside(path):
            number = self.resolve(path)
            if number is not None:
                self.chmod(number, int(args[1], 8))

    def on_fchmod(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is not None:
            self.chmod(known[0], int(args[1], 8))

    def chmod(self, number, mode):
        self.inodes[number].mode = mode & 0o7777
        self.emit("chmod", inode=number, mode=mode & 0o7777)

    def on_write(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is None:
            return
        data = string_argument(args[1])[:int(result.split()[0])]
        offset = len(self.inodes[known[0]].data) if known[2] else known[1]
        self.wrote(known[0], offset, data)
        known[1] = offset + len(data)

    def on_pwrite64(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is not None:
            self.wrote(known[0], int(args[3]), string_argument(args[1])[:int(result.split()[0])])

    def on_copy_file_range(self, pid, args, result):
        source, target = self.fd_inode(pid, args[0]), self.fd_inode(pid, args[2])
        count = int(result.split()[0])
        if target is None:
            return
        if args[1] != "NULL" or args[3] != "NULL":
            raise Unmodelled("copy_file_range with offsets of its own: the model does not cover it")
        if source is None:
            raise Unmodelled("copy_file_range from outside the modelled folder")
        data = self.inodes[source[0]].data[source[1]:source[1] + count]
        source[1] += count
        self.wrote(target[0], target[1], data)
        target[1] += count

    def on_read(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is not None:
            known[1] += int(result.split()[0])

    def on_lseek(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is not None:
            known[1] = int(result.split()[0])

    def wrote(self, number, offset, data):
        node = self.inodes[number]
        if not data:
            return
        body = node.data.ljust(offset, b"\0")
        node.data = body[:offset] + data + body[offset + len(data):]
        self.emit("write", inode=number, offset=offset, data=data)

    def on_ftruncate(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is not None:
            size = int(args[1])
            node = self.inodes[known[0]]
            node.data = node.data[:size].ljust(size, b"\0")
            self.emit("truncate", inode=known[0], size=size)

    def on_fsync(self, pid, args, result):
        known = self.fd_inode(pid, args[0])
        if known is not None:
            self.emit("sync", inode=known[0])

    on_fdatasync = on_fsync

    def on_statx(self, pid, args, result):
        path = self.at(pid, args[0], string_argument(args[1]).decode("utf-8", "surrogateescape"))
        number = self.resolve(path)
        if number is None:
            return
        ino = re.search(r"stx_ino=(\d+)", args[4])
        birth = re.search(r"stx_btime=\{tv_sec=(-?\d+), tv_nsec=(\d+)\}", args[4])
        if ino:
            self.identities[number] = (int(ino.group(1)),
                                       int(birth.group(1)) * 10**9 + int(birth.group(2)) if birth else 0)

    def on_mmap(self, pid, args, result):
        if "PROT_WRITE" in args[2] and "MAP_SHARED" in args[3]:
            if self.fd_inode(pid, args[4]) is not None:
                raise Unmodelled("a writable shared mapping of a modelled file: the model does not cover it")

    def on_exit_group(self, pid, args, result):
        pass


def read_trace(path, root, inodes, success_text=None):
    """The operations of the trace at `path` below `root`, whose files were `inodes` when the
    run began (changed in place to what they are at its end), and what statx told the run."""
    with open(path, encoding="ascii", errors="replace") as f:
        follower = Follower(root, inodes)
        ops = follower.follow(f.read().splitlines(), success_text)
    return ops, follower.identities, follower.success_marker
