#pragma once
// One member's fields as texts; a plain value holder.
#include <QString>

class mahasiswa {
 public:
  void setNis(QString vData) { nis_ = std::move(vData); }
  QString nis() const { return nis_; }
  void setNisn(QString vData) { nisn_ = std::move(vData); }
  QString nisn() const { return nisn_; }
  void setNama(QString vData) { nama_ = std::move(vData); }
  QString nama() const { return nama_; }
  void setTtl(QString vData) { ttl_ = std::move(vData); }
  QString ttl() const { return ttl_; }
  void setAgama(QString vData) { agama_ = std::move(vData); }
  QString agama() const { return agama_; }
  void setKelamin(QString vData) { kelamin_ = std::move(vData); }
  QString kelamin() const { return kelamin_; }
  void setAlamat(QString vData) { alamat_ = std::move(vData); }
  QString alamat() const { return alamat_; }
  void setKelas(QString vData) { kelas_ = std::move(vData); }
  QString kelas() const { return kelas_; }

 private:
  QString nis_, nisn_, nama_, ttl_, agama_, kelamin_, alamat_, kelas_;
};
