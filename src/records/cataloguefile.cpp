#include "cataloguefile.h"

#include "keyvaluefile.h"
#include "recordslocation.h"

#include <algorithm>

namespace CatalogueFile {

namespace {

bool isBlankName(const QString &name)
{
    return name.trimmed().isEmpty();
}

} // namespace

QString path()
{
    return recordFilePath(FileName);
}

QStringList typeNames()
{
    QStringList names = KeyValueFile(path()).sectionNames();
    names.removeIf(isBlankName);
    return names;
}

bool loadType(const QString &name, TransformerType &type)
{
    if (name.isEmpty())
        return false;
    const KeyValueFile file(path());
    const QStringList keys = {UnomKey, Unom2Key, InomKey, Inom2Key, PnomKey, Freq2Key,
                              MaterialKey, FasNumberKey, TransformerWeightKey, CircuitKey};
    const QHash<QString, QString> values = file.readValues(name, keys);
    if (values.isEmpty())
        return false;

    const auto text = [&](const QString &key, QString &field) {
        field = values.value(key, field);
    };
    const auto selection = [&](const QString &key, int &field) {
        if (const auto stored = KeyValueFile::parseInteger(values.value(key)))
            field = clampSelection(*stored, SelectionItems);
    };
    text(UnomKey, type.unom);
    text(Unom2Key, type.unom2);
    text(InomKey, type.inom);
    text(Inom2Key, type.inom2);
    text(PnomKey, type.pnom);
    text(Freq2Key, type.freq2);
    selection(MaterialKey, type.material);
    selection(FasNumberKey, type.fasNumber);
    text(TransformerWeightKey, type.transformerWeight);
    text(CircuitKey, type.circuit);
    return true;
}

SaveResult saveType(const QString &name, const TransformerType &type)
{
    if (isBlankName(name))
        return SaveResult::NoName;
    if (!isFitTypeName(name))
        return SaveResult::UnfitName;
    KeyValueFile(path()).writeValues(name, {
        {UnomKey, type.unom},
        {Unom2Key, type.unom2},
        {InomKey, type.inom},
        {Inom2Key, type.inom2},
        {PnomKey, type.pnom},
        {Freq2Key, type.freq2},
        {MaterialKey, QString::number(type.material)},
        {FasNumberKey, QString::number(type.fasNumber)},
        {TransformerWeightKey, type.transformerWeight},
        {CircuitKey, type.circuit},
    });
    return SaveResult::Saved;
}

const QStringList &declaredKeys()
{
    static const QStringList keys = {DeclaredP0Key, DeclaredPkKey, DeclaredI0Key, DeclaredUkKey, DeclaredTapStepKey,
                                     DeclaredOilProtectionKey};
    return keys;
}

QHash<QString, QString> loadDeclared(const QString &name)
{
    if (name.isEmpty())
        return {};
    return KeyValueFile(path()).readValues(name, declaredKeys());
}

bool saveDeclared(const QString &name, const QHash<QString, QString> &values)
{
    if (isBlankName(name) || !isFitTypeName(name))
        return false;
    KeyValueFile file(path());
    if (file.readValues(name, {UnomKey, Unom2Key, InomKey, Inom2Key, PnomKey, Freq2Key, MaterialKey,
                               FasNumberKey, TransformerWeightKey, CircuitKey})
            .isEmpty()
        && file.readValues(name, declaredKeys()).isEmpty())
        return false;
    KeyValueFile::Entries entries;
    for (const QString &key : declaredKeys())
        entries.append({key, values.value(key)});
    file.writeValues(name, entries);
    return true;
}

void deleteType(const QString &name)
{
    KeyValueFile(path()).eraseSection(name);
}

bool isFitTypeName(const QString &name)
{
    return KeyValueFile::isFitSectionName(name);
}

int clampSelection(int stored, int itemCount)
{
    return std::clamp(stored, -1, itemCount - 1);
}

QString unfitNameMessage(const QString &name)
{
    return QStringLiteral("Набор символов '") + name
        + QStringLiteral("' в поле 'Тип трансформатора' не может быть названием типа: "
                         "оно не должно начинаться с '[', содержать ']', перевод строки "
                         "или знаки вне кодировки Windows-1251.");
}

} // namespace CatalogueFile
