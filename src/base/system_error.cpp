#include "base/system_error.h"

#include <cerrno>
#include <sys/stat.h>

namespace base {

std::string systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT: return "файл или каталог не существует";
    case ENOTDIR: return "часть пути не является каталогом";
    case EISDIR: return "это каталог, а не файл";
    case EACCES:
    case EPERM: return "нет прав доступа";
    case EROFS: return "файловая система доступна только для чтения";
    case ENOSPC: return "на диске нет места";
#if defined(EDQUOT)
    case EDQUOT: return "исчерпана дисковая квота пользователя";
#endif
    case EEXIST: return "файл уже существует";
    case EIO: return "ошибка ввода-вывода на устройстве";
    case EBUSY: return "файл или устройство заняты";
    case ENAMETOOLONG: return "слишком длинное имя файла";
    case ELOOP: return "слишком много символических ссылок в пути";
    case EMFILE:
    case ENFILE: return "открыто слишком много файлов";
    case EFBIG: return "файл слишком велик";
    case ENXIO:
    case ENODEV: return "устройство недоступно";
    case EPIPE: return "получатель вывода закрыл канал";
    case EBADF: return "поток закрыт";
    case EINVAL: return "недопустимая операция для этого файла";
    case EXDEV: return "файлы находятся на разных файловых системах";
    case ETXTBSY: return "файл занят выполняемой программой";
    case ENOMEM: return "не хватает памяти";
    case EINTR: return "операция прервана";
    case EAGAIN: return "ресурс временно недоступен";
    case ENOTEMPTY: return "каталог не пуст";
    default: return "системная ошибка " + std::to_string(errorNumber);
    }
}

std::string notRegularFileText(unsigned mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return "это каталог, а не обычный файл";
    if (S_ISFIFO(mode))
        return "это именованный канал, а не обычный файл";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "это устройство, а не обычный файл";
    if (S_ISSOCK(mode))
        return "это сокет, а не обычный файл";
    return "это не обычный файл";
}

bool isDirectoryError(int errorNumber)
{
    return errorNumber == ENOENT || errorNumber == ENOTDIR || errorNumber == EROFS;
}

}  // namespace base
